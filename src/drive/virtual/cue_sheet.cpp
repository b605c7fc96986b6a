#include "drive/virtual/cue_sheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

#include "platform/codepage.h"

namespace {

// The lead-out's MSF address must fit the table of contents' one-byte minute.
constexpr qint64 kMaxDiscSectors = 255 * 4500 - 150;
// A sheet is a few kilobytes; anything much larger is some other file.
constexpr qint64 kMaxSheetBytes = 1 << 20;

const QStringList kIgnoredCommands = {"REM",       "CATALOG",    "CDTEXTFILE", "FLAGS",
                                      "ISRC",      "SONGWRITER", "COMPOSER",   "ARRANGER",
                                      "MESSAGE",   "GENRE",      "DISC_ID",    "UPC_EAN",
                                      "TOC_INFO1", "TOC_INFO2",  "SIZE_INFO"};

QString Decode(const QByteArray& bytes) {
  QStringDecoder utf8(QStringConverter::Utf8);
  const QString text = utf8(bytes);
  return utf8.hasError() ? Ansi::Decode(bytes) : text;
}

QString AtLine(int line, const QString& message) {
  return QStringLiteral("line %1: %2").arg(line).arg(message);
}

// Splits a line into words; a double-quoted word may hold blanks. No value on an
// unterminated quote.
std::optional<QStringList> Tokenize(const QString& line) {
  QStringList words;
  qsizetype at = 0;
  while (true) {
    while (at < line.size() && line[at].isSpace()) ++at;
    if (at >= line.size()) return words;
    if (line[at] == '"') {
      const qsizetype close = line.indexOf('"', at + 1);
      if (close < 0) return std::nullopt;
      words.append(line.mid(at + 1, close - at - 1));
      at = close + 1;
    } else {
      const qsizetype begin = at;
      while (at < line.size() && !line[at].isSpace()) ++at;
      words.append(line.mid(begin, at - begin));
    }
  }
}

// A decimal number of at most `digits` digits, or -1.
int ParseNumber(const QString& text, int digits) {
  if (text.isEmpty() || text.size() > digits) return -1;
  int value = 0;
  for (QChar c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

// mm:ss:ff in sectors (75 a second), or -1.
int ParseTime(const QString& text) {
  const QStringList parts = text.split(':');
  if (parts.size() != 3) return -1;
  const int minutes = ParseNumber(parts[0], 3);
  const int seconds = ParseNumber(parts[1], 2);
  const int frames = ParseNumber(parts[2], 2);
  if (minutes < 0 || seconds < 0 || seconds >= 60 || frames < 0 || frames >= 75) return -1;
  return (minutes * 60 + seconds) * 75 + frames;
}

std::optional<TrackMode> ParseMode(const QString& text) {
  const QString mode = text.toUpper();
  if (mode == "AUDIO") return TrackMode::Audio;
  if (mode == "MODE1/2352") return TrackMode::Mode1Raw;
  if (mode == "MODE1/2048") return TrackMode::Mode1Cooked;
  if (mode == "MODE2/2352") return TrackMode::Mode2Raw;
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(CueSheet* sheet) : sheet_(sheet) {}

  bool Line(int number, const QString& text) {
    line_ = number;
    const auto words = Tokenize(text);
    if (!words) return Fail("unterminated quote");
    if (words->isEmpty()) return true;
    const QString command = words->first().toUpper();
    const QStringList args = words->mid(1);
    if (command == "FILE") return File(args);
    if (command == "TRACK") return Track(args);
    if (command == "INDEX") return Index(args);
    if (command == "PREGAP") return Gap(args, &CueTrack::pregap);
    if (command == "POSTGAP") return Gap(args, &CueTrack::postgap);
    if (command == "TITLE") return Text(args, &CueTrack::title, &CueSheet::title);
    if (command == "PERFORMER") return Text(args, &CueTrack::performer, &CueSheet::performer);
    if (kIgnoredCommands.contains(command)) return true;
    return Fail(QStringLiteral("unknown command \"%1\"").arg(words->first()));
  }

  bool Finish() {
    if (!FinishTrack()) return false;
    if (sheet_->tracks.isEmpty()) return Fail("no tracks");
    return FileHasTracks();
  }

  QString error;

 private:
  bool Fail(const QString& message) {
    error = AtLine(line_, message);
    return false;
  }

  CueTrack* Current() { return inTrack_ ? &sheet_->tracks.last() : nullptr; }

  bool File(const QStringList& args) {
    if (args.size() != 2) return Fail("FILE needs a name and a type");
    if (args[1].toUpper() != "BINARY")
      return Fail(QStringLiteral("unsupported file type \"%1\"").arg(args[1]));
    if (args[0].isEmpty()) return Fail("empty file name");
    if (!FinishTrack() || !FileHasTracks()) return false;
    sheet_->files.append({args[0], line_});
    inTrack_ = false;
    return true;
  }

  // A FILE line must be followed by a track before the next FILE line or the end.
  bool FileHasTracks() {
    if (sheet_->files.isEmpty()) return true;
    const int file = int(sheet_->files.size()) - 1;
    if (!sheet_->tracks.isEmpty() && sheet_->tracks.last().file == file) return true;
    error = AtLine(sheet_->files.last().line, "FILE without tracks");
    return false;
  }

  bool Track(const QStringList& args) {
    if (sheet_->files.isEmpty()) return Fail("TRACK before any FILE");
    if (args.size() != 2) return Fail("TRACK needs a number and a mode");
    const int number = ParseNumber(args[0], 2);
    if (number < 1 || number > 99)
      return Fail(QStringLiteral("bad track number \"%1\"").arg(args[0]));
    const auto mode = ParseMode(args[1]);
    if (!mode) return Fail(QStringLiteral("unknown track mode \"%1\"").arg(args[1]));
    if (!FinishTrack()) return false;
    if (!sheet_->tracks.isEmpty() && number != sheet_->tracks.last().number + 1) {
      return Fail(QStringLiteral("track %1 out of order").arg(number));
    }
    CueTrack track;
    track.number = number;
    track.mode = *mode;
    track.file = int(sheet_->files.size()) - 1;
    track.line = line_;
    sheet_->tracks.append(track);
    inTrack_ = true;
    return true;
  }

  // Checks the track being closed: it has INDEX 01, and it starts after the previous track of
  // the same file.
  bool FinishTrack() {
    CueTrack* track = Current();
    if (!track) return true;
    inTrack_ = false;
    const auto has01 = std::any_of(track->indexes.begin(), track->indexes.end(),
                                   [](const CueIndex& index) { return index.number == 1; });
    if (!has01) {
      error = AtLine(track->line, QStringLiteral("track %1 has no INDEX 01").arg(track->number));
      return false;
    }
    const qsizetype count = sheet_->tracks.size();
    if (count >= 2) {
      const CueTrack& previous = sheet_->tracks[count - 2];
      if (previous.file == track->file && track->FirstIndexFrame() <= previous.Index01Frame()) {
        error = AtLine(track->line, QStringLiteral("track %1 starts before track %2")
                                        .arg(track->number)
                                        .arg(previous.number));
        return false;
      }
    }
    return true;
  }

  bool Index(const QStringList& args) {
    CueTrack* track = Current();
    if (!track) return Fail("INDEX outside a track");
    if (args.size() != 2) return Fail("INDEX needs a number and a time");
    const int number = ParseNumber(args[0], 2);
    if (number < 0) return Fail(QStringLiteral("bad index number \"%1\"").arg(args[0]));
    const int frame = ParseTime(args[1]);
    if (frame < 0) return Fail(QStringLiteral("bad time \"%1\"").arg(args[1]));
    if (track->indexes.isEmpty() ? number > 1 : number != track->indexes.last().number + 1) {
      return Fail(QStringLiteral("INDEX %1 out of order").arg(args[0]));
    }
    if (!track->indexes.isEmpty() && frame < track->indexes.last().frame) {
      return Fail(QStringLiteral("INDEX %1 lies before the one before it").arg(args[0]));
    }
    track->indexes.append({number, frame, line_});
    return true;
  }

  bool Gap(const QStringList& args, int CueTrack::*field) {
    CueTrack* track = Current();
    if (!track) return Fail("gap outside a track");
    if (args.size() != 1) return Fail("a gap needs one time");
    const int frames = ParseTime(args[0]);
    if (frames < 0) return Fail(QStringLiteral("bad time \"%1\"").arg(args[0]));
    track->*field = frames;
    return true;
  }

  bool Text(const QStringList& args, QString CueTrack::*trackField, QString CueSheet::*discField) {
    if (args.size() != 1) return Fail("text needs one (quoted) value");
    if (CueTrack* track = Current()) {
      track->*trackField = args[0];
    } else {
      sheet_->*discField = args[0];
    }
    return true;
  }

  CueSheet* sheet_;
  bool inTrack_ = false;
  int line_ = 0;
};

// Frames a file's tracks occupy: from the first index (or the file's start, for the file's
// first track) to the next track's first index (or the end of the file).
struct Extent {
  int beginFrame = 0;
  qint64 count = 0;
};

}  // namespace

int CueTrack::Index01Frame() const {
  for (const CueIndex& index : indexes) {
    if (index.number == 1) return index.frame;
  }
  return indexes.isEmpty() ? 0 : indexes.last().frame;
}

bool ParseCueSheet(const QByteArray& bytes, CueSheet* sheet, QString* error) {
  *sheet = CueSheet();
  Parser parser(sheet);
  const QStringList lines = Decode(bytes).replace("\r\n", "\n").replace('\r', '\n').split('\n');
  bool ok = true;
  for (int i = 0; i < lines.size() && ok; ++i) ok = parser.Line(i + 1, lines[i]);
  ok = ok && parser.Finish();
  if (!ok && error) *error = parser.error;
  return ok;
}

bool LayOutCueSheet(const CueSheet& sheet, const QList<qint64>& fileSizes, DiscLayout* layout,
                    QString* error) {
  auto fail = [&](int line, const QString& message) {
    if (error) *error = AtLine(line, message);
    return false;
  };
  *layout = DiscLayout();
  layout->title = sheet.title;
  layout->performer = sheet.performer;
  qint64 lba = 0;
  qint64 fileOffset = 0;
  for (int i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& cue = sheet.tracks[i];
    if (cue.file >= fileSizes.size()) return fail(cue.line, "no size for the track's file");
    const bool firstInFile = i == 0 || sheet.tracks[i - 1].file != cue.file;
    const bool lastInFile = i + 1 == sheet.tracks.size() || sheet.tracks[i + 1].file != cue.file;
    if (firstInFile) fileOffset = 0;
    const int size = StoredSectorSize(cue.mode);
    const int beginFrame = firstInFile ? 0 : cue.FirstIndexFrame();
    const qint64 available = (fileSizes[cue.file] - fileOffset) / size;
    const qint64 count =
        lastInFile ? available : sheet.tracks[i + 1].FirstIndexFrame() - beginFrame;
    const int fileLine = sheet.files[cue.file].line;
    if (count <= 0 || count > available) {
      return fail(fileLine, QStringLiteral("file too short for track %1").arg(cue.number));
    }
    for (const CueIndex& index : cue.indexes) {
      if (index.frame - beginFrame >= count) {
        return fail(index.line,
                    QStringLiteral("INDEX %1 of track %2 lies beyond the end of the file")
                        .arg(index.number, 2, 10, QLatin1Char('0'))
                        .arg(cue.number));
      }
    }
    DiscTrack track;
    track.number = cue.number;
    track.mode = cue.mode;
    track.title = cue.title;
    track.performer = cue.performer;
    track.pregapStart = int(lba);
    if (cue.pregap > 0)
      layout->runs.append({int(lba), cue.pregap, cue.mode, SectorRun::Source::Blank, -1, 0});
    lba += cue.pregap;
    track.start = int(lba + cue.Index01Frame() - beginFrame);
    if (lba + count + cue.postgap > kMaxDiscSectors) return fail(cue.line, "disc image too long");
    layout->runs.append(
        {int(lba), int(count), cue.mode, SectorRun::Source::File, cue.file, fileOffset});
    lba += count;
    fileOffset += count * size;
    if (cue.postgap > 0)
      layout->runs.append({int(lba), cue.postgap, cue.mode, SectorRun::Source::Blank, -1, 0});
    lba += cue.postgap;
    track.end = int(lba);
    layout->tracks.append(track);
  }
  return true;
}

namespace {

// A file named in the sheet: relative to the sheet's folder; names written with backslashes
// on another system are tried with slashes.
QString ResolveFile(const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name);
  if (QFileInfo::exists(path) || !name.contains('\\')) return path;
  return folder.filePath(QString(name).replace('\\', '/'));
}

}  // namespace

std::shared_ptr<const DiscImage> LoadCueSheet(const QString& path, QString* error) {
  const QString sheetName = QFileInfo(path).fileName();
  auto fail = [&](const QString& message) -> std::shared_ptr<const DiscImage> {
    if (error) *error = QStringLiteral("%1: %2").arg(sheetName, message);
    return nullptr;
  };
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
    return fail("cannot read the sheet");
  if (file.size() > kMaxSheetBytes) return fail("too large for a CUE sheet");
  CueSheet sheet;
  QString message;
  if (!ParseCueSheet(file.readAll(), &sheet, &message)) return fail(message);
  const QDir folder = QFileInfo(path).absoluteDir();
  QList<qint64> sizes;
  QStringList paths;
  for (const CueFile& cueFile : sheet.files) {
    const QString filePath = ResolveFile(folder, cueFile.name);
    const QFileInfo info(filePath);
    if (!info.isFile())
      return fail(AtLine(cueFile.line, QStringLiteral("missing file \"%1\"").arg(cueFile.name)));
    sizes.append(info.size());
    paths.append(filePath);
  }
  DiscLayout layout;
  if (!LayOutCueSheet(sheet, sizes, &layout, &message)) return fail(message);
  layout.files = paths;
  auto image = DiscImage::Open(std::move(layout), &message);
  return image ? image : fail(message);
}
