#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>
#include <utility>

#include "drive/virtual/virtual_drive.h"
#include "support/virtual_disc.h"

// One command exchanged with a virtual drive as a transport sees it.
struct ScsiAnswer {
  int result = 0;       // SendCommand's return
  ScsiCommand command;  // what came back; its pointers are cleared
  QByteArray data;      // the whole transfer buffer
  QByteArray sense;     // the sense bytes the drive wrote
  int SenseKey() const { return sense.size() > 2 ? uint8_t(sense[2]) & 0x0F : -1; }
  int Asc() const { return sense.size() > 12 ? uint8_t(sense[12]) : -1; }
  int Ascq() const { return sense.size() > 13 ? uint8_t(sense[13]) : -1; }
  bool Good() const { return result == 0 && command.status == kScsiGood; }
  int Transferred() const { return int(command.dataLength) - command.residue; }
};

// Talks to a drive of VirtualDriveHost::Instance() through its SCSI host interface.
class ScsiClient {
 public:
  explicit ScsiClient(const QString& device = "vcd0");
  ~ScsiClient();
  int handle() const { return handle_; }
  ScsiAnswer Send(const QByteArray& cdb, int dataLength = 0, int senseLength = 32);

 private:
  int handle_;
};

// A command block of `length` bytes with the given (byte, value) pairs, all else zero.
QByteArray Cdb(int length, std::initializer_list<std::pair<int, int>> fields);
QByteArray ReadCdCdb(int lba, int count, int fieldByte = 0xF0, int expectedType = 0);
QByteArray Read10Cdb(int lba, int count);
QByteArray ReadTocCdb(int format, bool msf = true, int fromTrack = 0, int allocation = 804);

// Titles and performers (disc first, then each track) recovered from CD-TEXT packs by joining
// each kind's text bytes and splitting at zero bytes; `entries` = tracks + 1.
struct DecodedCdText {
  QStringList titles;
  QStringList performers;
};
DecodedCdText DecodeCdText(const QByteArray& packs, int entries);
