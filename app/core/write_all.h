// Writing a whole byte range to a device and making sure it got there.
#pragma once

#include <QIODevice>
#include <cstddef>
#include <cstdint>

namespace corvid {

// Writes count bytes; for a file, also flushes Qt's buffer so that a full
// disk shows up here rather than unnoticed at close. False on any failure.
bool WriteAll(QIODevice& device, const uint8_t* bytes, size_t count);

}  // namespace corvid
