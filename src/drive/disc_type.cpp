#include "drive/disc_type.h"

#include <cstring>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "platform/codepage.h"

namespace {

DiscType MakeType(DiscKind kind, const char* name, const char* shownName) {
  return {kind, QString::fromLatin1(name), QString::fromLatin1(shownName)};
}

constexpr int kDataSectorBytes = 2048;
constexpr int kPrimaryVolumeDescriptorSector = 16;
constexpr int kVolumeIdOffset = 40;
constexpr int kVolumeIdLength = 32;

}  // namespace

std::optional<DiscType> DetectDiscType() {
  const DriveContext& context = DriveContext::Instance();
  CdDevice* device = context.device.load();
  bool closed = false;
  int count = 0;
  if (!device || !context.present.load() || !device->IsTrayClosed(closed) || !closed ||
      !device->GetTrackCount(count)) {
    return std::nullopt;
  }
  if (context.isDvd.load()) {
    return count == 1 ? MakeType(DiscKind::Dvd, "CDiscTypeDVD", "DVD")
                      : MakeType(DiscKind::DvdMultisession, "CDiscTypeDVDMultisession", "DVD");
  }
  bool firstIsData = false;
  bool lastIsData = false;
  if (!device->IsDataTrack(0, firstIsData) || !device->IsDataTrack(count - 1, lastIsData)) {
    return std::nullopt;
  }
  if (firstIsData) {
    return count == 1
               ? MakeType(DiscKind::DataCd, "CDiscTypeDataCD", "Data CD")
               : MakeType(DiscKind::DataCdMultisession, "CDiscTypeDataCDMultisession", "Data CD");
  }
  return lastIsData ? MakeType(DiscKind::MixedModeCd, "CDiscTypeMixedModeCD", "Mixed mode CD")
                    : MakeType(DiscKind::AudioCd, "CDiscTypeAudioCD", "Audio CD");
}

bool GetVolumeLabel(QString& label) {
  CdDevice* device = DriveContext::Instance().device.load();
  int count = 0;
  if (!device || !device->GetTrackCount(count)) return false;
  for (int index = 0; index < count; ++index) {
    bool data = false;
    int start = 0;
    if (!device->IsDataTrack(index, data) || !data) continue;
    if (!device->GetTrackStart(index, start)) return false;
    uint8_t sector[kDataSectorBytes] = {};
    if (!device->Open()) return false;
    const bool read = device->ReadData(start + kPrimaryVolumeDescriptorSector, 1, kDataSectorBytes,
                                       sector, nullptr);
    device->Close();
    if (!read || sector[0] != 1 || std::memcmp(sector + 1, "CD001", 5) != 0) return false;
    QByteArray field(reinterpret_cast<const char*>(sector + kVolumeIdOffset), kVolumeIdLength);
    if (const qsizetype nul = field.indexOf('\0'); nul >= 0) field.truncate(nul);
    const QString name = Ansi::Decode(field).trimmed();
    if (name.isEmpty()) return false;
    label = name;
    return true;
  }
  return false;
}
