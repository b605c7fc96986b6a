#include "drive_virtual/drive_test_support.h"

#include "platform/codepage.h"

ScsiClient::ScsiClient(const QString& device)
    : handle_(VirtualDriveHost::Instance().Open(device, true)) {}

ScsiClient::~ScsiClient() {
  if (handle_ >= 0) VirtualDriveHost::Instance().Close(handle_);
}

ScsiAnswer ScsiClient::Send(const QByteArray& cdb, int dataLength, int senseLength) {
  ScsiAnswer answer;
  answer.data = QByteArray(dataLength, char(0xEE));
  QByteArray sense(senseLength, '\0');
  const QByteArray block = cdb;
  ScsiCommand& command = answer.command;
  command.cdb = reinterpret_cast<const uint8_t*>(block.constData());
  command.cdbLength = int(block.size());
  command.direction =
      dataLength > 0 ? ScsiCommand::Direction::FromDevice : ScsiCommand::Direction::None;
  command.data = dataLength > 0 ? answer.data.data() : nullptr;
  command.dataLength = uint32_t(dataLength);
  command.sense = reinterpret_cast<uint8_t*>(sense.data());
  command.senseCapacity = senseLength;
  command.timeoutMs = 8000;
  answer.result = VirtualDriveHost::Instance().SendCommand(handle_, command);
  answer.sense = sense.left(command.senseWritten);
  command.cdb = nullptr;
  command.data = nullptr;
  command.sense = nullptr;
  return answer;
}

QByteArray Cdb(int length, std::initializer_list<std::pair<int, int>> fields) {
  QByteArray cdb(length, '\0');
  for (const auto& [at, value] : fields) cdb[at] = char(value);
  return cdb;
}

QByteArray ReadCdCdb(int lba, int count, int fieldByte, int expectedType) {
  return Cdb(12, {{0, 0xBE},
                  {1, expectedType << 2},
                  {2, lba >> 24},
                  {3, lba >> 16},
                  {4, lba >> 8},
                  {5, lba},
                  {6, count >> 16},
                  {7, count >> 8},
                  {8, count},
                  {9, fieldByte}});
}

QByteArray Read10Cdb(int lba, int count) {
  return Cdb(10, {{0, 0x28},
                  {2, lba >> 24},
                  {3, lba >> 16},
                  {4, lba >> 8},
                  {5, lba},
                  {7, count >> 8},
                  {8, count}});
}

QByteArray ReadTocCdb(int format, bool msf, int fromTrack, int allocation) {
  return Cdb(10, {{0, 0x43},
                  {1, msf ? 0x02 : 0},
                  {2, format},
                  {6, fromTrack},
                  {7, allocation >> 8},
                  {8, allocation}});
}

DecodedCdText DecodeCdText(const QByteArray& packs, int entries) {
  QByteArray titleBytes;
  QByteArray performerBytes;
  for (qsizetype at = 0; at + 18 <= packs.size(); at += 18) {
    const auto type = uint8_t(packs[at]);
    if (type == 0x80) titleBytes += packs.mid(at + 4, 12);
    if (type == 0x81) performerBytes += packs.mid(at + 4, 12);
  }
  auto split = [entries](const QByteArray& bytes) {
    QStringList texts;
    if (bytes.isEmpty()) return texts;
    for (const QByteArray& text : bytes.split('\0').mid(0, entries))
      texts.append(Ansi::Decode(text));
    return texts;
  };
  return {split(titleBytes), split(performerBytes)};
}
