#include "settings/setting_keys.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>

#include "platform/paths.h"

QString SettingKey::DefaultText() const {
  if (type == Type::Int) return QString::number(intDefault);
  if (computedDefault) return computedDefault();
  return QString::fromUtf8(textDefault);
}

bool SettingKey::Allows(int value) const {
  return InRange(value) &&
         (choices.empty() || std::find(choices.begin(), choices.end(), value) != choices.end());
}

int SettingKey::Nearest(int value) const {
  if (Allows(value)) return value;
  if (choices.empty()) return intDefault;
  int nearest = choices.front();
  for (const int choice : choices) {
    if (std::abs(qint64(choice) - value) < std::abs(qint64(nearest) - value)) nearest = choice;
  }
  return nearest;
}

QString SettingKey::ChoicesText() const {
  QStringList names;
  for (const int choice : choices) names << QString::number(choice);
  return names.join(QStringLiteral(", "));
}

QString Key::MusicFolderDefault() { return Paths::MusicDir(); }

std::span<const SettingKey* const> AllSettingKeys() {
  using namespace Key;
  static constexpr const SettingKey* kAll[] = {
      &Language,
      &ToolbarEnabled,
      &StatusBarEnabled,
      &BottomPanelEnabled,
      &AlbumHeaderEnabled,
      &CurrentDriveIndex,
      &Device,
      &AutoSelectAllTracks,
      &AutoRequestFreeDB,
      &AutoStartRipping,
      &AutoEjectCD,
      &AutoOpenOutputFolder,
      &UseMultipleDevices,
      &ActiveOptionsTab,
      &WindowLeft,
      &WindowTop,
      &WindowWidth,
      &WindowHeight,
      &FormatSelected,
      &AccessMethod,
      &SubDirArtist,
      &SubDirAlbum,
      &OutputFolder,
      &FileNameFormat,
      &AdvancedFileFormat,
      &CDReadSpeed,
      &EncoderThreads,
      &AudioReadMode,
      &ArServer,
      &ArVerify,
      &FdServer,
      &FdTCPPort,
      &FdHTTPPort,
      &FdAccessMethod,
      &FdProxyType,
      &FdProxyServer,
      &FdProxyPort,
      &FdUserName,
      &FdPassword,
      &FdEmail,
      &MbServer,
      &MbCoverArtServer,
      &MbCover,
      &MbLookupOrder,
      &MainWindowIsVisible,
      &ProgressLeft,
      &ProgressTop,
      &ProgressWidth,
      &ProgressHeight,
      &Mp3MinBitRate,
      &Mp3MaxBitRate,
      &Mp3StereoMode,
      &Mp3Copyrighted,
      &Mp3CRCs,
      &Mp3Quality,
      &Mp3IsVBR,
      &OggMinBitRate,
      &OggNomBitRate,
      &OggMaxBitRate,
      &OggVBR,
      &OggQuality,
      &AacQuality,
      &AacMpegVersion,
      &FlacLevel,
      &FlacVerify,
      &OpusBitRate,
      &OpusMode,
      &OpusComplexity,
      &M4aBitRate,
      &WmaFormatString,
  };
  return kAll;
}

const SettingKey* FindSettingKey(const QString& section, const QString& key) {
  for (const SettingKey* entry : AllSettingKeys()) {
    if (section.compare(QLatin1String(entry->section), Qt::CaseInsensitive) == 0 &&
        key.compare(QLatin1String(entry->key), Qt::CaseInsensitive) == 0) {
      return entry;
    }
  }
  return nullptr;
}
