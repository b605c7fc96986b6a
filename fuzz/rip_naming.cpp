// File names from arbitrary disc texts: whatever a disc or a server calls its tracks, every
// name component stays one safe component within the length limit, and the extension stays.
#include <QString>
#include <cstddef>
#include <cstdint>

#include "metadata/disc_info.h"
#include "rip/output_naming.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool IsSafeComponent(const QString& component) {
  if (component == "." || component == "..") return false;
  for (QChar c : component) {
    if (c == '/' || c.unicode() < 0x20) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Four texts of arbitrary UTF-16 units (lone surrogates included), split at 0xFFFF units.
  const QString all =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
  const QStringList texts = all.split(QChar(0xFFFF));
  auto text = [&](int i) { return i < texts.size() ? texts[i] : QString(); };

  DiscInfo info;
  info.ResetToDefaults(1);
  info.trackTitles[0] = text(0);
  info.artist = text(1);
  info.album = text(2);
  NamingSettings settings;
  settings.fileNameFormat = NamingPattern::Advanced;
  settings.advancedTemplate = text(3);

  for (ComponentKind kind : {ComponentKind::Folder, ComponentKind::File}) {
    for (int i = 0; i < 3; ++i) {
      const QString clean = CleanComponent(text(i), kind);
      Check(IsSafeComponent(clean));
      if (kind == ComponentKind::Folder) {
        Check(clean.toUtf8().size() <= kMaxComponentBytes);
        Check(!clean.endsWith('.'));
      }
    }
  }
  const QString name = CleanComponent(TrackFileName(0, info, settings), ComponentKind::File);
  const QString file = FitFileName(name + ".wav", kMaxComponentBytes);
  Check(IsSafeComponent(file));
  Check(file.toUtf8().size() <= kMaxComponentBytes);
  Check(file.endsWith(".wav"));
  const QString anyName = FitFileName(text(0), 40);
  Check(anyName.toUtf8().size() <= 40);
  return 0;
}
