// KORVANE_VIRTUAL_FAULTS over any text: a list is taken whole with sane entries, or refused
// with a message.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "drive/virtual/virtual_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  QString error;
  const std::optional<QList<SectorFault>> faults = ParseFaultList(text, &error);
  if (!faults) {
    if (error.isEmpty()) __builtin_trap();
    return 0;
  }
  for (const SectorFault& fault : *faults) {
    if (fault.lba < 0 || fault.times == 0 || fault.times < -1) __builtin_trap();
    if (fault.wrongAudio && fault.times < 1) __builtin_trap();
  }
  return 0;
}
