#include "camera/common.h"

#include "memory.h"
#include "table_check.h"

namespace rk::camera {

TableLookups::TableLookups(const ModuleTableRec& table) {
  for (int t = 0; t < 2; ++t) {
    dc[t].Build(table.dcCodeTable[t], 16, table.huffLut[t]);
    // A lookup buffer marks the windows no code covers with a symbol that
    // has no code; an AC table coding all 256 symbols has none to spare, so
    // it is searched instead (the same symbols for every covered window).
    const HuffCodeRec* codes = table.acCodeTable[t];
    const bool allCoded = std::all_of(codes, codes + 256, [](const HuffCodeRec& e) { return e.length != 0; });
    ac[t].Build(codes, 256, allCoded ? nullptr : table.huffLut[2 + t]);
  }
}

OwnTable::OwnTable(Kind kind) {
  table_ = static_cast<ModuleTableRec*>(AllocZeroed(1, sizeof(ModuleTableRec)));
  if (table_ == nullptr) return;
  if (kind == Kind::kUnit) {
    RkInitKSLVImageProcessUnit(table_);
    ok_ = TableArraysReady(table_) && table_->inputGamma != nullptr && table_->outputGamma != nullptr;
  } else {
    RkInitModuleTable(table_);
    ok_ = TableArraysReady(table_);
  }
}

OwnTable::~OwnTable() {
  if (table_ == nullptr) return;
  RkFreeModuleTable(table_);
  FreeMemory(table_);
}

}  // namespace rk::camera
