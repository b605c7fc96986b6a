#include "rip/output_naming.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "metadata/disc_info.h"
#include "settings/settings_store.h"

namespace {

const QString kForbidden = QStringLiteral(":<>\"/|?*");
const QString kImageBaseName = QStringLiteral("IMAGE");

// Control characters (DEL among them) have no place in a file name.
bool IsForbidden(QChar c) { return c.category() == QChar::Other_Control || kForbidden.contains(c); }

bool IsDotsOnly(const QString& text) {
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c == '.'; });
}

int Utf8Bytes(const QString& text) { return int(text.toUtf8().size()); }

// The longest prefix of text that takes at most maxBytes in UTF-8, ending between characters.
QString CutToBytes(const QString& text, int maxBytes) {
  int bytes = 0;
  qsizetype end = 0;
  while (end < text.size()) {
    const bool pair =
        text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate();
    const char16_t unit = text[end].unicode();
    const int charBytes = pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    if (bytes + charBytes > maxBytes) break;
    bytes += charBytes;
    end += pair ? 2 : 1;
  }
  return text.left(end);
}

QString TwoDigitNumber(int trackIndex) {
  return QStringLiteral("%1").arg(trackIndex + 1, 2, 10, QLatin1Char('0'));
}

// The output folder without trailing slashes (the root stays "/").
QString FolderRoot(const QString& folder) {
  QString root = folder;
  while (root.size() > 1 && root.endsWith(QLatin1Char('/'))) root.chop(1);
  return root;
}

QString Join(const QString& folder, const QString& component) {
  return folder.endsWith(QLatin1Char('/')) ? folder + component
                                           : folder + QLatin1Char('/') + component;
}

// The bytes a file name may take in folder, under both the name and the path limit.
int NameBudget(const QString& folder) {
  return std::min(kMaxComponentBytes, kMaxPathBytes - Utf8Bytes(Join(folder, QString())));
}

// The file name fitted into its folder; folderReady is false when even the shortest name
// (the extension with one character in front) does not fit.
OutputPath PlaceFile(const QString& folder, const QString& name, const QString& extension) {
  const int budget = NameBudget(folder);
  OutputPath result{Join(folder, FitFileName(name + extension, budget)), false, {}};
  if (budget < Utf8Bytes(extension) + 1) {
    result.folderError = QString::fromLocal8Bit(std::strerror(ENAMETOOLONG));
  } else {
    result.folderReady = CreateOutputDirectory(result.path, result.folderError);
  }
  return result;
}

}  // namespace

NamingSettings NamingSettings::Load() {
  const SettingsStore& store = SettingsStore::Instance();
  NamingSettings settings;
  store.ReadOutputFolder(settings.outputFolder);
  if (settings.outputFolder.isEmpty()) settings.outputFolder = Key::OutputFolder.DefaultText();
  settings.subDirArtist = store.subDirArtist == 1;
  settings.subDirAlbum = store.subDirAlbum == 1;
  settings.fileNameFormat = FromStored<NamingPattern>(store.ReadInt(Key::FileNameFormat));
  settings.advancedTemplate = store.ReadText(Key::AdvancedFileFormat);
  return settings;
}

QString TrackTitle(const DiscInfo& info, int trackIndex) {
  return trackIndex == kHiddenTrackIndex ? QStringLiteral("Hidden track")
                                         : info.GetTrackTitle(trackIndex);
}

QString TrackArtist(const DiscInfo& info, int trackIndex) {
  return trackIndex == kHiddenTrackIndex ? info.artist : info.GetTrackArtist(trackIndex);
}

QString TrackFileName(int trackIndex, const DiscInfo& info, const NamingSettings& settings) {
  const QString number = TwoDigitNumber(trackIndex);
  const QString title = TrackTitle(info, trackIndex);
  const QString artist = TrackArtist(info, trackIndex);
  const QString dash = QStringLiteral(" - ");
  switch (settings.fileNameFormat) {
    case NamingPattern::TrackTitle: return number + dash + title;
    case NamingPattern::ArtistTrackTitle: return artist + dash + number + dash + title;
    case NamingPattern::ArtistAlbumTrackTitle:
      return artist + dash + info.album + dash + number + dash + title;
    case NamingPattern::Advanced: break;
  }
  // Each keyword is replaced everywhere in the text as the previous ones left it.
  QString name = settings.advancedTemplate;
  name.replace(QLatin1String("%T"), title);
  name.replace(QLatin1String("%A"), artist);
  name.replace(QLatin1String("%L"), info.album);
  name.replace(QLatin1String("%Y"), info.year);
  name.replace(QLatin1String("%N"), number);
  return name;
}

QString CleanComponent(const QString& component, ComponentKind kind) {
  QString clean = component;
  for (QChar& c : clean) {
    if (IsForbidden(c)) c = QLatin1Char('_');
  }
  if (kind == ComponentKind::Folder) clean = CutToBytes(clean, kMaxComponentBytes);
  if (IsDotsOnly(clean)) return QStringLiteral("_");
  if (kind == ComponentKind::Folder) {
    while (clean.endsWith(QLatin1Char('.'))) clean.chop(1);
  }
  return clean;
}

QString FitFileName(const QString& name, int maxBytes) {
  if (Utf8Bytes(name) <= maxBytes) return name;
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString extension = dot < 0 ? QString() : name.mid(dot);
  // Text after a dot that leaves no room for a name is no extension; the end is cut then.
  if (Utf8Bytes(extension) >= maxBytes) return CutToBytes(name, maxBytes);
  return CutToBytes(name.left(dot < 0 ? name.size() : dot), maxBytes - Utf8Bytes(extension)) +
         extension;
}

OutputPath BuildTrackPath(int trackIndex, const OutputFormat& format, const DiscInfo& info,
                          const NamingSettings& settings) {
  QString folder = FolderRoot(settings.outputFolder);
  auto addFolder = [&](const QString& name) {
    const QString component = CleanComponent(name, ComponentKind::Folder);
    if (!component.isEmpty()) folder = Join(folder, component);
  };
  // The album's folder is its artist's, so every track of a compilation lands in it.
  if (settings.subDirArtist) addFolder(info.AlbumArtist());
  if (settings.subDirAlbum) addFolder(info.album);
  QString name = CleanComponent(TrackFileName(trackIndex, info, settings), ComponentKind::File);
  // An empty name would make a hidden file of the extension alone.
  if (name.isEmpty()) name = TwoDigitNumber(trackIndex);
  return PlaceFile(folder, name, format.Extension());
}

OutputPath BuildImagePath(const OutputFormat& format, const QString& volumeLabel,
                          const NamingSettings& settings, const QDateTime& now) {
  QString base = CleanComponent(volumeLabel, ComponentKind::File);
  if (base.isEmpty()) base = kImageBaseName;
  OutputPath result = PlaceFile(FolderRoot(settings.outputFolder), base, format.Extension());
  MakeUniquePath(result.path, now);
  return result;
}

QString UniqueInRun(const QString& path, QSet<QString>& takenThisRun) {
  QString unique = path;
  for (int n = 2; takenThisRun.contains(unique); ++n) unique = NumberedPath(path, n);
  takenThisRun.insert(unique);
  return unique;
}

bool CreateOutputDirectory(const QString& path, QString& reason) {
  const int error = CreateFolder(QFileInfo(path).path());
  if (error) reason = QString::fromLocal8Bit(std::strerror(error));
  return error == 0;
}

void MakeUniquePath(QString& path, const QDateTime& now) {
  // A dangling symbolic link counts as taken: writing through it would create its target.
  auto taken = [](const QString& candidate) {
    const QFileInfo info(candidate);
    return info.exists() || info.isSymLink();
  };
  if (!taken(path)) return;
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString folder = path.left(slash + 1);
  const QString name = path.mid(slash + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString extension = dot < 0 ? QString() : name.mid(dot);
  const QString base = dot < 0 ? name : name.left(dot);
  const QString stamp = QLocale::c().toString(now, QStringLiteral("_ddd_ddMMMyyyy_HHmmss"));
  const int budget = NameBudget(folder);
  for (int counter = 1;; ++counter) {
    const QString tail =
        stamp + (counter > 1 ? QStringLiteral("_%1").arg(counter) : QString()) + extension;
    const QString candidate =
        folder + CutToBytes(base, std::max(0, budget - Utf8Bytes(tail))) + tail;
    if (!taken(candidate)) {
      path = candidate;
      return;
    }
  }
}
