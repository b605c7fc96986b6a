#pragma once
#include <QString>
#include <climits>
#include <span>

#include "platform/ids.h"

// The one table of every setting: its section, key, type and default. Every reader takes
// its default from here, so no default is written twice.
struct SettingKey {
  enum class Type { Int, Text };
  const char* section;
  const char* key;
  Type type;
  int intDefault;                // Int keys
  const char* textDefault;       // Text keys with a fixed default
  QString (*computedDefault)();  // Text keys whose default depends on the system
  int minValue = INT_MIN;        // Int keys: the values that make sense
  int maxValue = INT_MAX;
  std::span<const int> choices = {};  // Int keys that take only these values, in rising order

  QString DefaultText() const;
  bool InRange(int value) const { return value >= minValue && value <= maxValue; }
  // In range, and one of the choices when the key has them.
  bool Allows(int value) const;
  // The allowed value nearest to value: value itself when allowed; of two choices equally
  // near, the lower. A key without choices gives its default for a value out of range.
  int Nearest(int value) const;
  // The choices as a message lists them: "32, 40, ... 320".
  QString ChoicesText() const;
};

namespace Key {

QString MusicFolderDefault();

using T = SettingKey::Type;

// "General"
inline constexpr SettingKey Language{"General", "Language", T::Text, 0, "", nullptr};
inline constexpr SettingKey ToolbarEnabled{"General", "ToolbarEnabled", T::Int,
                                           1,         nullptr,          nullptr};
inline constexpr SettingKey StatusBarEnabled{"General", "StatusBarEnabled", T::Int, 1, nullptr,
                                             nullptr};
inline constexpr SettingKey AlbumHeaderEnabled{"General", "AlbumHeaderEnabled", T::Int, 1, nullptr,
                                               nullptr};
inline constexpr SettingKey BottomPanelEnabled{"General", "BottomPanelEnabled", T::Int, 1, nullptr,
                                               nullptr};
inline constexpr SettingKey CurrentDriveIndex{"General", "CurrentDriveIndex", T::Int, 0, nullptr,
                                              nullptr};
inline constexpr SettingKey Device{"General", "Device", T::Text, 0, "", nullptr};
inline constexpr SettingKey AutoSelectAllTracks{
    "General", "AutoSelectAllTracks", T::Int, 1, nullptr, nullptr};
inline constexpr SettingKey AutoRequestFreeDB{"General", "AutoRequestFreeDB", T::Int, 0, nullptr,
                                              nullptr};
inline constexpr SettingKey AutoStartRipping{"General", "AutoStartRipping", T::Int, 0, nullptr,
                                             nullptr};
inline constexpr SettingKey AutoEjectCD{"General", "AutoEjectCD", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey AutoOpenOutputFolder{
    "General", "AutoOpenOutputFolder", T::Int, 1, nullptr, nullptr};
inline constexpr SettingKey UseMultipleDevices{"General", "UseMultipleDevices", T::Int, 0, nullptr,
                                               nullptr};
inline constexpr SettingKey ActiveOptionsTab{"General", "ActiveOptionsTab", T::Int, 0, nullptr,
                                             nullptr};
inline constexpr SettingKey WindowLeft{"General", "Left", T::Int, 200, nullptr, nullptr};
inline constexpr SettingKey WindowTop{"General", "Top", T::Int, 200, nullptr, nullptr};
inline constexpr SettingKey WindowWidth{"General", "Width", T::Int, 635, nullptr, nullptr};
inline constexpr SettingKey WindowHeight{"General", "Height", T::Int, 450, nullptr, nullptr};
inline constexpr SettingKey FormatSelected{"General",
                                           "FormatSelected",
                                           T::Int,
                                           ToStored(FormatId::Mp3),
                                           nullptr,
                                           nullptr,
                                           ToStored(FormatId::Aac),
                                           ToStored(kNewestFormat)};

// "Options"
inline constexpr SettingKey AccessMethod{
    "Options", "AccessMethod", T::Int, ToStored(DriveAccess::PassThrough), nullptr, nullptr};
inline constexpr SettingKey SubDirArtist{"Options", "SubDirArtist", T::Int, 1, nullptr, nullptr};
inline constexpr SettingKey SubDirAlbum{"Options", "SubDirAlbum", T::Int, 1, nullptr, nullptr};
inline constexpr SettingKey OutputFolder{"Options", "OutputFolder", T::Text,
                                         0,         nullptr,        &MusicFolderDefault};
inline constexpr SettingKey FileNameFormat{
    "Options", "FileNameFormat", T::Int, ToStored(NamingPattern::TrackTitle), nullptr, nullptr};
inline constexpr SettingKey AdvancedFileFormat{"Options", "AdvancedFileFormat", T::Text,
                                               0,         "%A - %N - %T",       nullptr};
inline constexpr SettingKey CDReadSpeed{"Options", "CDReadSpeed", T::Text, 0, "DEFAULT", nullptr};
// How many tracks a rip encodes at once; 0 = one per processor core.
inline constexpr SettingKey EncoderThreads{"Options", "EncoderThreads", T::Int, 0,
                                           nullptr,   nullptr,          0,      64};

inline constexpr SettingKey AudioReadMode{"Options", "ReadMode", T::Int, ToStored(ReadMode::Fast),
                                          nullptr,   nullptr,    0,      1};

// "AccurateRip"
inline constexpr SettingKey ArServer{
    "AccurateRip", "Server", T::Text, 0, "http://www.accuraterip.com", nullptr};
inline constexpr SettingKey ArVerify{"AccurateRip", "Verify", T::Int, 1, nullptr, nullptr, 0, 1};

// "FreeDBSettings"
inline constexpr SettingKey FdServer{"FreeDBSettings",  "fdServer", T::Text, 0,
                                     "gnudb.gnudb.org", nullptr};
inline constexpr SettingKey FdTCPPort{"FreeDBSettings", "fdTCPPort", T::Int, 8880,
                                      nullptr,          nullptr,     1,      65535};
inline constexpr SettingKey FdHTTPPort{"FreeDBSettings", "fdHTTPPort", T::Int, 80,
                                       nullptr,          nullptr,      1,      65535};
inline constexpr SettingKey FdAccessMethod{
    "FreeDBSettings", "fdAccessMethod", T::Int, ToStored(FreeDbAccess::Tcp), nullptr, nullptr};
inline constexpr SettingKey FdProxyType{
    "FreeDBSettings", "fdProxyType", T::Int, ToStored(ProxyKind::Direct), nullptr, nullptr};
inline constexpr SettingKey FdProxyServer{"FreeDBSettings", "fdProxyServer", T::Text, 0, "",
                                          nullptr};
inline constexpr SettingKey FdProxyPort{"FreeDBSettings", "fdProxyPort", T::Int, 0,
                                        nullptr,          nullptr,       0,      65535};
inline constexpr SettingKey FdUserName{"FreeDBSettings", "fdUserName", T::Text, 0, "", nullptr};
inline constexpr SettingKey FdPassword{"FreeDBSettings", "fdPassword", T::Text, 0, "", nullptr};
inline constexpr SettingKey FdEmail{"FreeDBSettings", "fdEmail", T::Text, 0, "", nullptr};

// "MusicBrainz"
inline constexpr SettingKey MbServer{"MusicBrainz", "Server", T::Text, 0, "https://musicbrainz.org",
                                     nullptr};
inline constexpr SettingKey MbCoverArtServer{
    "MusicBrainz", "CoverArtServer", T::Text, 0, "https://coverartarchive.org", nullptr};
inline constexpr SettingKey MbCover{"MusicBrainz", "Cover", T::Int, ToStored(CoverUse::Both),
                                    nullptr,       nullptr, 0,      3};
inline constexpr SettingKey MbLookupOrder{
    "MusicBrainz", "LookupOrder", T::Int, ToStored(LookupOrder::MusicBrainzFirst),
    nullptr,       nullptr,       0,      3};

// "Progress_Dialog"
inline constexpr SettingKey MainWindowIsVisible{
    "Progress_Dialog", "MainWindowIsVisible", T::Int, 1, nullptr, nullptr};
inline constexpr SettingKey ProgressLeft{"Progress_Dialog", "Left", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey ProgressTop{"Progress_Dialog", "Top", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey ProgressWidth{"Progress_Dialog", "Width", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey ProgressHeight{"Progress_Dialog", "Height", T::Int, 0,
                                           nullptr,           nullptr};

// "MP3"
// The bit rates of MPEG-1 Layer III frames, the only ones the MP3 encoder takes (kbit/s).
inline constexpr int kMp3BitRates[] = {32,  40,  48,  56,  64,  80,  96,
                                       112, 128, 160, 192, 224, 256, 320};
inline constexpr SettingKey Mp3MinBitRate{"MP3",   "MinBitRate", T::Int, 256,         nullptr,
                                          nullptr, 32,           320,    kMp3BitRates};
inline constexpr SettingKey Mp3MaxBitRate{"MP3",   "MaxBitRate", T::Int, 256,         nullptr,
                                          nullptr, 32,           320,    kMp3BitRates};
inline constexpr SettingKey Mp3StereoMode{"MP3", "StereoMode", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey Mp3Copyrighted{"MP3", "Copyrighted", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey Mp3CRCs{"MP3", "CRCs", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey Mp3Quality{"MP3", "fquality", T::Int, 3, nullptr, nullptr};
inline constexpr SettingKey Mp3IsVBR{"MP3", "isVBR", T::Int, 0, nullptr, nullptr};

// "OGG"
inline constexpr SettingKey OggMinBitRate{"OGG", "MinBitRate", T::Int, 256, nullptr, nullptr};
inline constexpr SettingKey OggNomBitRate{"OGG", "NomBitRate", T::Int, 256, nullptr, nullptr};
inline constexpr SettingKey OggMaxBitRate{"OGG", "MaxBitRate", T::Int, 256, nullptr, nullptr};
inline constexpr SettingKey OggVBR{"OGG", "VBR", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey OggQuality{"OGG", "fquality", T::Int, 5, nullptr, nullptr};

// "AAC"
inline constexpr SettingKey AacQuality{"AAC", "fquality", T::Int, 3, nullptr, nullptr};
inline constexpr SettingKey AacMpegVersion{"AAC", "mpeg_version", T::Int, 1, nullptr, nullptr};

// "FLAC"
inline constexpr SettingKey FlacLevel{"FLAC", "Level", T::Int, 5, nullptr, nullptr};
inline constexpr SettingKey FlacVerify{"FLAC", "Verify", T::Int, 0, nullptr, nullptr};

// "OPUS"
inline constexpr SettingKey OpusBitRate{"OPUS", "BitRate", T::Int, 160, nullptr, nullptr};
inline constexpr SettingKey OpusMode{"OPUS", "Mode", T::Int, 0, nullptr, nullptr};
inline constexpr SettingKey OpusComplexity{"OPUS", "Complexity", T::Int, 10, nullptr, nullptr};

// "M4A"
inline constexpr SettingKey M4aBitRate{"M4A", "BitRate", T::Int, 192, nullptr, nullptr};

// "WMA"
inline constexpr SettingKey WmaFormatString{
    "WMA", "FormatString", T::Text, 0, "128 kbps, 44 kHz, stereo CBR", nullptr};

}  // namespace Key

// Every key above, in table order.
std::span<const SettingKey* const> AllSettingKeys();

// The table row of a section and key, matched without regard to case; null when unknown.
const SettingKey* FindSettingKey(const QString& section, const QString& key);
