#include "drive/disc_type.h"

#include <cstring>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "platform/codepage.h"

namespace {

DiscType MakeType(const char* name, const char* shownName,
                  std::initializer_list<FormatId> formats) {
  DiscType type;
  type.name = name;
  type.shownName = shownName;
  type.formats = formats;
  return type;
}

const std::initializer_list<FormatId> kAudioFormats = {
    FormatId::Mp3,  FormatId::Aac,  FormatId::Ogg, FormatId::Wav,   FormatId::Wma,
    FormatId::Flac, FormatId::Opus, FormatId::M4a, FormatId::CueBin};

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
    return count == 1 ? MakeType("CDiscTypeDVD", "DVD", {FormatId::Iso})
                      : MakeType("CDiscTypeDVDMultisession", "DVD", {FormatId::Iso});
  }
  bool firstIsData = false;
  bool lastIsData = false;
  if (!device->IsDataTrack(0, firstIsData) || !device->IsDataTrack(count - 1, lastIsData)) {
    return std::nullopt;
  }
  if (firstIsData) {
    return count == 1 ? MakeType("CDiscTypeDataCD", "Data CD", {FormatId::Iso, FormatId::CueBin})
                      : MakeType("CDiscTypeDataCDMultisession", "Data CD", {FormatId::CueBin});
  }
  return lastIsData ? MakeType("CDiscTypeMixedModeCD", "Mixed mode CD", kAudioFormats)
                    : MakeType("CDiscTypeAudioCD", "Audio CD", kAudioFormats);
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
