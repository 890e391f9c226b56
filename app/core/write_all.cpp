#include "write_all.h"

#include <QFileDevice>

namespace corvid {

bool WriteAll(QIODevice& device, const uint8_t* bytes, size_t count) {
  const qint64 size = static_cast<qint64>(count);
  if (device.write(reinterpret_cast<const char*>(bytes), size) != size) return false;
  if (auto* file = qobject_cast<QFileDevice*>(&device)) return file->flush();
  return true;
}

}  // namespace corvid
