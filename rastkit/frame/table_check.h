// One answer for a module table that cannot serve a codec call: a null
// table, or one whose arrays are missing because RkInitModuleTable could not
// allocate them (it leaves such pointers null). Every export that uses the
// table's arrays asks this first and returns RK_ERR_NULL, writing nothing.
#pragma once

#include "rastkit.h"

namespace rk {

[[nodiscard]] inline bool TableArraysReady(const ModuleTableRec* table) {
  if (table == nullptr) return false;
  for (const uint16_t* q : table->quantTable)
    if (q == nullptr) return false;
  for (int set = 0; set < 2; ++set)
    if (table->dcCodeTable[set] == nullptr || table->acCodeTable[set] == nullptr) return false;
  return table->zigzag != nullptr && table->bitScratch != nullptr && table->coefScratch != nullptr;
}

}  // namespace rk
