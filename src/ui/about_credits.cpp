#include "ui/about_credits.h"

#include <array>

#include "texts/language_manager.h"

namespace {

constexpr const char* kVorbis[] = {"libvorbis", "libvorbisenc", "libogg"};
constexpr const char* kFfmpeg[] = {"libavcodec", "libavformat", "libavutil"};
constexpr const char* kLame[] = {"libmp3lame"};
constexpr const char* kTagLib[] = {"libtag"};
constexpr const char* kCurl[] = {"libcurl"};
constexpr const char* kAlsa[] = {"libasound"};
constexpr const char* kUdev[] = {"libudev"};
constexpr const char* kFlac[] = {"libFLAC"};
constexpr const char* kOpus[] = {"libopusenc"};  // which brings libopus
constexpr const char* kZlib[] = {"libz"};
constexpr const char* kQt[] = {"libQt6Core", "libQt6Gui", "libQt6Widgets", "libQt6Network"};

const std::array<AboutCredit, 12> kCredits{{
    {9004, {}},
    {9005, kVorbis},
    {9006, kFfmpeg},
    {9007, kLame},
    {9010, kTagLib},
    {9011, kCurl},
    {9012, kAlsa},
    {9013, kUdev},
    {9015, kFlac},
    {9016, kOpus},
    {9017, kZlib},
    {0, kQt},
}};

}  // namespace

QString AboutCredit::Text() const {
  if (textId == 0) return QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()));
  return LanguageManager::Instance().Text(textId);
}

std::span<const AboutCredit> AboutCredits() { return kCredits; }
