// A BIN/CUE image from outside: the sheet is the input up to its first NUL byte; what follows
// gives each file the sheet names its length (two bytes, big-endian, so files come short and
// ragged) and fills it. The image goes into a virtual drive, which must answer READ TOC
// (formats 0 and 5) and sector reads; the CD-TEXT it serves must read back as the sheet's
// TITLE and PERFORMER texts.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

#include "drive/cd_text.h"
#include "drive/virtual/cue_sheet.h"
#include "drive/virtual/virtual_drive.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A name the sheet gives that may be created inside the work folder.
bool IsPlainName(const QString& name) {
  return !name.isEmpty() && name.size() <= 32 && !name.contains('/') && name != "." && name != "..";
}

QByteArray Send(VirtualDrive& drive, QByteArray cdb, int dataLength) {
  QByteArray data(dataLength, '\0');
  QByteArray sense(32, '\0');
  ScsiCommand command;
  command.cdb = reinterpret_cast<const uint8_t*>(cdb.constData());
  command.cdbLength = int(cdb.size());
  command.direction = ScsiCommand::Direction::FromDevice;
  command.data = data.data();
  command.dataLength = uint32_t(dataLength);
  command.sense = reinterpret_cast<uint8_t*>(sense.data());
  command.senseCapacity = int(sense.size());
  if (drive.Execute(command) != 0 || command.status != kScsiGood) return {};
  Check(command.residue >= 0 && command.residue <= dataLength);
  return data.left(dataLength - command.residue);
}

QByteArray ReadTocCdb(uint8_t format, int length) {
  QByteArray cdb(10, '\0');
  cdb[0] = char(0x43);
  cdb[1] = format == 0 ? char(0x02) : char(0);
  cdb[2] = char(format);
  cdb[7] = char(length >> 8);
  cdb[8] = char(length);
  return cdb;
}

QByteArray ReadCdCdb(int lba) {
  QByteArray cdb(12, '\0');
  cdb[0] = char(0xBE);
  for (int i = 0; i < 4; ++i) cdb[2 + i] = char(lba >> (24 - 8 * i));
  cdb[8] = 1;
  cdb[9] = char(0xF8);
  return cdb;
}

// The sheet's texts, when short plain ASCII, are what the drive's CD-TEXT carries.
bool IsPlainText(const QString& text) {
  if (text.size() > 40) return false;
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  }
  return true;
}

void CheckCdText(VirtualDrive& drive, const CueSheet& sheet) {
  const QByteArray reply = Send(drive, ReadTocCdb(5, 0xFFFF), 0xFFFF);
  if (reply.size() < 4) return;
  const int length = (uint8_t(reply[0]) << 8) | uint8_t(reply[1]);
  const int tracks = int(sheet.tracks.size());
  const CdText text = ParseCdText(reinterpret_cast<const uint8_t*>(reply.constData()),
                                  int(reply.size()), length, tracks);
  Check(text.records.size() == tracks + 1);
  if (sheet.tracks.first().number != 1 || !IsPlainText(sheet.title) ||
      !IsPlainText(sheet.performer))
    return;
  for (const CueTrack& track : sheet.tracks) {
    if (!IsPlainText(track.title) || !IsPlainText(track.performer)) return;
  }
  Check(text.records[0].title == sheet.title && text.records[0].performer == sheet.performer);
  for (int t = 0; t < tracks; ++t) {
    Check(text.records[t + 1].title == sheet.tracks[t].title);
    Check(text.records[t + 1].performer == sheet.tracks[t].performer);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QTemporaryDir work;
  const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
  const qsizetype nul = input.indexOf('\0');
  const QByteArray sheetBytes = nul < 0 ? input : input.left(nul);
  const QByteArray fileBytes = nul < 0 ? QByteArray() : input.mid(nul + 1);

  CueSheet sheet;
  QString error;
  if (!ParseCueSheet(sheetBytes, &sheet, &error)) return 0;
  QDir dir(work.path());
  for (const QString& name : dir.entryList(QDir::Files)) dir.remove(name);
  QFile cue(dir.filePath("disc.cue"));
  if (!cue.open(QIODevice::WriteOnly) || cue.write(sheetBytes) != sheetBytes.size()) return 0;
  cue.close();
  for (int i = 0; i < sheet.files.size(); ++i) {
    if (!IsPlainName(sheet.files[i].name) || 2 * i + 1 >= fileBytes.size()) continue;
    const int length = (uint8_t(fileBytes[2 * i]) << 8) | uint8_t(fileBytes[2 * i + 1]);
    QFile bin(dir.filePath(sheet.files[i].name));
    if (!bin.open(QIODevice::WriteOnly)) continue;
    const QByteArray fill =
        fileBytes.mid(2 * i + 2).isEmpty() ? QByteArray(1, '\0') : fileBytes.mid(2 * i + 2);
    bin.write(fill.repeated(length / fill.size() + 1).left(length));
  }

  VirtualDrive drive("fz0");
  if (!drive.LoadCue(cue.fileName(), &error)) {
    Check(!error.isEmpty());
    return 0;
  }
  const QByteArray toc = Send(drive, ReadTocCdb(0, 804), 804);
  Check(toc.size() >= 4);
  CheckCdText(drive, sheet);
  // The first and last sector of each track, and the pregap's first.
  for (int i = 4; i + 8 <= toc.size(); i += 8) {
    const int lba =
        (uint8_t(toc[i + 5]) * 60 + uint8_t(toc[i + 6])) * 75 + uint8_t(toc[i + 7]) - 150;
    for (int at : {lba - 1, lba, lba + 1}) Send(drive, ReadCdCdb(at), 2352);
  }
  return 0;
}
