#include "drive/virtual/virtual_drive.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "drive/virtual/cd_text.h"
#include "drive/virtual/cue_sheet.h"
#include "drive/virtual/demo_disc.h"
#include "drive/virtual/disc_image.h"
#include "drive/virtual/raw_sector.h"
#include "platform/big_endian.h"
#include "platform/mmc_opcodes.h"
#include "platform/stop_request.h"

namespace {

namespace Op = MmcOp;

struct SenseCode {
  uint8_t key, asc, ascq;
};
constexpr SenseCode kNoMedium{0x02, 0x3A, 0x00};
constexpr SenseCode kUnrecoveredRead{0x03, 0x11, 0x00};
constexpr SenseCode kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseCode kLbaOutOfRange{0x05, 0x21, 0x00};
constexpr SenseCode kInvalidField{0x05, 0x24, 0x00};
constexpr SenseCode kIncompatibleMedium{0x05, 0x30, 0x02};
constexpr SenseCode kRemovalPrevented{0x05, 0x53, 0x02};
constexpr SenseCode kIllegalModeForTrack{0x05, 0x64, 0x00};

// Status bytes and driver flags as the kernel's SCSI layer reports them.

constexpr int kFixedSenseLength = 18;
constexpr int kMaxCdbLength = 16;
constexpr char kVendor[] = "KORVANE ";           // 8 bytes
constexpr char kProduct[] = "VIRTUAL CD      ";  // 16 bytes
constexpr char kRevision[] = "1.0 ";

void PutBigEndian(QByteArray& out, int at, int bytes, uint32_t value) {
  ::PutBigEndian(reinterpret_cast<uint8_t*>(out.data() + at), bytes, value);
}

// READ CD: the kinds of sector byte 1 can ask for.
enum class ExpectedType { Any, CdDa, Mode1, Mode2Formless, Mode2Form1, Mode2Form2 };

bool SectorMatches(int expected, TrackMode mode) {
  switch (ExpectedType(expected)) {
    case ExpectedType::Any: return true;
    case ExpectedType::CdDa: return mode == TrackMode::Audio;
    case ExpectedType::Mode1: return mode == TrackMode::Mode1Raw || mode == TrackMode::Mode1Cooked;
    case ExpectedType::Mode2Formless:
    case ExpectedType::Mode2Form1:
    case ExpectedType::Mode2Form2: return mode == TrackMode::Mode2Raw;
  }
  return false;
}

// READ CD's byte 9: every field of the sector, and the error field (C2 error pointers).
constexpr uint8_t kWholeSector = 0xF0;
constexpr uint8_t kErrorField = 0x06;
constexpr uint8_t kC2ErrorBlock = 0x02;

// The byte ranges of a raw sector that READ CD's byte 9 selects, in order.
struct FieldRange {
  int begin, end;
};
QList<FieldRange> SelectedFields(uint8_t flags, TrackMode mode) {
  const bool sync = flags & 0x80;
  const bool header = flags & 0x20;  // header code bit 0; bit 1 (subheader) has no bytes here
  const bool user = flags & 0x10;
  const bool edcEcc = flags & 0x08;
  if (mode == TrackMode::Audio)
    return user ? QList<FieldRange>{{0, kCdSectorBytes}} : QList<FieldRange>{};
  const int userEnd = mode == TrackMode::Mode2Raw
                          ? kCdSectorBytes
                          : RawSector::kMode1UserOffset + RawSector::kUserSize;
  QList<FieldRange> fields;
  if (sync) fields.append({0, 12});
  if (header) fields.append({12, 16});
  if (user) fields.append({16, userEnd});
  if (edcEcc && userEnd < kCdSectorBytes) fields.append({userEnd, kCdSectorBytes});
  return fields;
}

int FieldsSize(const QList<FieldRange>& fields) {
  int size = 0;
  for (const FieldRange& field : fields) size += field.end - field.begin;
  return size;
}

// Copies as much of a response as the allocation length and the caller's buffer take.
int CopyOut(const QByteArray& response, int allocation, uint8_t* data, int dataLength) {
  const int length = std::min({int(response.size()), allocation, dataLength});
  if (length > 0) std::memcpy(data, response.constData(), size_t(length));
  return std::max(length, 0);
}

}  // namespace

struct VirtualDrive::Reply {
  int transferred = 0;
  std::optional<SenseCode> sense;
  std::optional<uint32_t> information;  // sense bytes 3..6, e.g. the failing sector
  std::optional<bool> mediaEvent;       // raised once the drive's lock is released

  static Reply Good(int transferred = 0) { return {transferred, {}, {}, {}}; }
  static Reply Check(SenseCode code, int transferred = 0) { return {transferred, code, {}, {}}; }
};

VirtualDrive::VirtualDrive(QString deviceName, MediaNotifier notifier)
    : name_(std::move(deviceName)), notifier_(std::move(notifier)) {}

VirtualDrive::~VirtualDrive() = default;

// ---- the hand at the drive -------------------------------------------------------------------

bool VirtualDrive::LoadCue(const QString& cuePath, QString* error) {
  auto image = LoadCueSheet(cuePath, error);
  if (!image) return false;
  Insert(std::move(image));
  return true;
}

void VirtualDrive::LoadDemo() { Insert(MakeDemoDisc()); }

void VirtualDrive::LoadImage(std::shared_ptr<const DiscImage> image) {
  if (image) {
    Insert(std::move(image));
  } else {
    RemoveDisc();
  }
}

void VirtualDrive::Insert(std::shared_ptr<const DiscImage> image) {
  bool wasReadable;
  {
    std::lock_guard lock(mutex_);
    wasReadable = disc_ && !trayOpen_;
    cdTextPacks_ = CdTextPacks::BuildPacks(*image);
    disc_ = std::move(image);
    trayOpen_ = false;
  }
  if (wasReadable) Notify(false);
  Notify(true);
}

void VirtualDrive::RemoveDisc() {
  bool wasReadable;
  {
    std::lock_guard lock(mutex_);
    wasReadable = disc_ && !trayOpen_;
    disc_.reset();
    cdTextPacks_.clear();
  }
  if (wasReadable) Notify(false);
}

void VirtualDrive::SetTrayOpen(bool open) {
  bool changesMedium;
  {
    std::lock_guard lock(mutex_);
    if (trayOpen_ == open) return;
    trayOpen_ = open;
    changesMedium = bool(disc_);
  }
  if (changesMedium) Notify(!open);
}

bool VirtualDrive::IsTrayOpen() const {
  std::lock_guard lock(mutex_);
  return trayOpen_;
}

bool VirtualDrive::HasDisc() const {
  std::lock_guard lock(mutex_);
  return bool(disc_);
}

bool VirtualDrive::IsLocked() const {
  std::lock_guard lock(mutex_);
  return locked_;
}

void VirtualDrive::SetDvd(bool dvd) {
  std::lock_guard lock(mutex_);
  dvd_ = dvd;
}

void VirtualDrive::SetMaxSpeedKBps(int kbps) {
  std::lock_guard lock(mutex_);
  maxSpeed_ = std::max(kbps, 1);
  currentSpeed_ = RoundSpeed(maxSpeed_);
}

void VirtualDrive::SetAcceptedSpeedsKBps(QList<int> speeds) {
  std::sort(speeds.begin(), speeds.end());
  std::lock_guard lock(mutex_);
  acceptedSpeeds_ = std::move(speeds);
  currentSpeed_ = RoundSpeed(currentSpeed_);
}

int VirtualDrive::CurrentSpeedKBps() const {
  std::lock_guard lock(mutex_);
  return currentSpeed_;
}

void VirtualDrive::SetReadThrottleX(double x) {
  std::lock_guard lock(mutex_);
  throttleX_ = std::max(x, 0.0);
  readsDoneAt_ = {};
}

double VirtualDrive::ReadThrottleX() const {
  std::lock_guard lock(mutex_);
  return throttleX_;
}

void VirtualDrive::FailSector(int lba, int times) {
  std::lock_guard lock(mutex_);
  if (times == 0) {
    faults_.remove(lba);
  } else {
    faults_[lba] = times < 0 ? -1 : times;
  }
}

void VirtualDrive::CorruptSector(int lba, int times, bool sameEachTime) {
  std::lock_guard lock(mutex_);
  if (times <= 0) {
    wrongReads_.remove(lba);
  } else {
    wrongReads_[lba] = {times, sameEachTime};
  }
}

void VirtualDrive::SetC2Pointers(bool on) {
  std::lock_guard lock(mutex_);
  c2Pointers_ = on;
}

void VirtualDrive::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
  wrongReads_.clear();
}

void VirtualDrive::SetReadOffset(int frames) {
  std::lock_guard lock(mutex_);
  readOffset_ = frames;
}

QList<QByteArray> VirtualDrive::CommandLog() const {
  std::lock_guard lock(mutex_);
  return QList<QByteArray>(log_.begin(), log_.end());
}

void VirtualDrive::ClearCommandLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

int VirtualDrive::DriveStatus() const {
  std::lock_guard lock(mutex_);
  if (trayOpen_) return kDriveTrayOpen;
  return disc_ ? kDriveDiscPresent : kDriveNoDisc;
}

void VirtualDrive::Notify(bool arrived) {
  if (notifier_) notifier_(name_, arrived);
}

// ---- Commands --------------------------------------------------------------------------------

int VirtualDrive::Execute(ScsiCommand& command) {
  if (!command.cdb || command.cdbLength < 6 || command.cdbLength > kMaxCdbLength) return -EINVAL;
  const bool fromDevice = command.direction == ScsiCommand::Direction::FromDevice;
  if (fromDevice && command.dataLength > 0 && !command.data) return -EFAULT;
  const auto started = std::chrono::steady_clock::now();

  uint8_t cdb[kMaxCdbLength] = {};
  std::memcpy(cdb, command.cdb, size_t(command.cdbLength));
  {
    std::lock_guard lock(mutex_);
    log_.emplace_back(reinterpret_cast<const char*>(cdb), command.cdbLength);
    if (log_.size() > size_t(kCommandLogLimit)) log_.pop_front();
  }
  auto* data = fromDevice ? static_cast<uint8_t*>(command.data) : nullptr;
  const int dataLength = data ? int(std::min<uint32_t>(command.dataLength, INT32_MAX)) : 0;
  const Reply reply = Dispatch(cdb, command.cdbLength, data, dataLength);
  if (reply.mediaEvent) Notify(*reply.mediaEvent);

  command.status = reply.sense ? kScsiCheckCondition : kScsiGood;
  command.transportFailed = false;
  command.residue = fromDevice ? int(command.dataLength) - reply.transferred : 0;
  command.senseWritten = 0;
  if (reply.sense && command.sense && command.senseCapacity > 0) {
    uint8_t sense[kFixedSenseLength] = {};
    sense[0] =
        reply.information ? 0xF0 : 0x70;  // current error, fixed format; bit 7: information valid
    sense[2] = reply.sense->key;
    if (reply.information) PutBigEndian(sense + 3, 4, uint32_t(*reply.information));
    sense[7] = kFixedSenseLength - 8;
    sense[12] = reply.sense->asc;
    sense[13] = reply.sense->ascq;
    command.senseWritten = std::min(command.senseCapacity, kFixedSenseLength);
    std::memcpy(command.sense, sense, size_t(command.senseWritten));
  }
  command.durationMs = unsigned(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - started)
                                    .count());
  return 0;
}

VirtualDrive::Reply VirtualDrive::Dispatch(const uint8_t* cdb, int cdbLength, uint8_t* data,
                                           int dataLength) {
  const uint8_t opcode = cdb[0];
  static const QList<uint8_t> kKnown = {
      Op::kTestUnitReady,     Op::kInquiry,    Op::kStartStopUnit,   Op::kPreventAllow,
      Op::kReadCapacity,      Op::kRead10,     Op::kReadToc,         Op::kModeSense10,
      Op::kReadDiscStructure, Op::kSetCdSpeed, Op::kMechanismStatus, Op::kReadCd};
  if (!kKnown.contains(opcode)) return Reply::Check(kInvalidOpcode);
  if (cdbLength < CdbLength(opcode)) return Reply::Check(kInvalidField);
  switch (opcode) {
    case Op::kTestUnitReady: return TestUnitReady();
    case Op::kInquiry: return Inquiry(cdb, data, dataLength);
    case Op::kStartStopUnit: return StartStopUnit(cdb);
    case Op::kPreventAllow: return PreventAllow(cdb);
    case Op::kReadCapacity: return ReadCapacity(data, dataLength);
    case Op::kRead10: return Read10(cdb, data, dataLength);
    case Op::kReadToc: return ReadToc(cdb, data, dataLength);
    case Op::kModeSense10: return ModeSense(cdb, data, dataLength);
    case Op::kReadDiscStructure: return ReadDiscStructure(cdb, data, dataLength);
    case Op::kSetCdSpeed: return SetCdSpeed(cdb);
    case Op::kMechanismStatus: return MechanismStatus(cdb, data, dataLength);
    case Op::kReadCd: return ReadCd(cdb, data, dataLength);
  }
  return Reply::Check(kInvalidOpcode);
}

std::shared_ptr<const DiscImage> VirtualDrive::ReadyDisc() const {
  return trayOpen_ ? nullptr : disc_;
}

// ---- commands without the medium -------------------------------------------------------------

VirtualDrive::Reply VirtualDrive::TestUnitReady() {
  std::lock_guard lock(mutex_);
  return ReadyDisc() ? Reply::Good() : Reply::Check(kNoMedium);
}

VirtualDrive::Reply VirtualDrive::Inquiry(const uint8_t* cdb, uint8_t* data, int dataLength) {
  if (cdb[1] & 0x01) return Reply::Check(kInvalidField);  // no vital product data pages
  QByteArray response(36, '\0');
  response[0] = kCdDvdPeripheralType;
  response[1] = char(0x80);  // removable medium
  response[2] = 0x05;
  response[3] = 0x02;
  response[4] = char(response.size() - 5);
  response.replace(8, 8, kVendor);
  response.replace(16, 16, kProduct);
  response.replace(32, 4, kRevision);
  return Reply::Good(CopyOut(response, int(GetBigEndian(cdb + 3, 2)), data, dataLength));
}

VirtualDrive::Reply VirtualDrive::MechanismStatus(const uint8_t* cdb, uint8_t* data,
                                                  int dataLength) {
  std::lock_guard lock(mutex_);
  QByteArray response(8, '\0');
  response[1] = char(trayOpen_ ? 0x10 : 0x00);  // bit 4: door open
  return Reply::Good(CopyOut(response, int(GetBigEndian(cdb + 8, 2)), data, dataLength));
}

VirtualDrive::Reply VirtualDrive::StartStopUnit(const uint8_t* cdb) {
  std::lock_guard lock(mutex_);
  if (cdb[4] & 0xF0) return Reply::Good();  // a power condition: nothing to do for the tray
  const bool loadEject = cdb[4] & 0x02;
  const bool start = cdb[4] & 0x01;
  if (!loadEject) return start && !ReadyDisc() ? Reply::Check(kNoMedium) : Reply::Good();
  Reply reply = Reply::Good();
  if (!start) {
    if (locked_) return Reply::Check(kRemovalPrevented);
    if (!trayOpen_ && disc_) reply.mediaEvent = false;
    trayOpen_ = true;
  } else {
    if (trayOpen_ && disc_) reply.mediaEvent = true;
    trayOpen_ = false;
  }
  return reply;
}

VirtualDrive::Reply VirtualDrive::PreventAllow(const uint8_t* cdb) {
  std::lock_guard lock(mutex_);
  locked_ = cdb[4] & 0x01;
  return Reply::Good();
}

int VirtualDrive::RoundSpeed(int kbps) const {
  const int wanted = std::min(kbps, maxSpeed_);
  if (acceptedSpeeds_.isEmpty()) return wanted;
  int chosen = acceptedSpeeds_.first();  // slower than every accepted speed: the slowest
  for (int speed : acceptedSpeeds_) {
    if (speed <= wanted) chosen = speed;
  }
  return std::min(chosen, maxSpeed_);
}

VirtualDrive::Reply VirtualDrive::SetCdSpeed(const uint8_t* cdb) {
  std::lock_guard lock(mutex_);
  const int requested = int(GetBigEndian(cdb + 2, 2));
  currentSpeed_ = RoundSpeed(requested == 0xFFFF ? maxSpeed_ : requested);
  return Reply::Good();
}

VirtualDrive::Reply VirtualDrive::ModeSense(const uint8_t* cdb, uint8_t* data, int dataLength) {
  const int page = cdb[2] & 0x3F;
  if (page != 0x2A && page != 0x3F) return Reply::Check(kInvalidField);
  std::lock_guard lock(mutex_);
  constexpr int kHeader = 8;
  constexpr int kPageLength = 20;
  QByteArray response(kHeader + 2 + kPageLength, '\0');
  PutBigEndian(response, 0, 2, int(response.size()) - 2);  // mode data length; no block descriptors
  char* capabilities = response.data() + kHeader;
  capabilities[0] = 0x2A;
  capabilities[1] = kPageLength;
  capabilities[2] = char(0x07 | (dvd_ ? 0x08 : 0));  // reads CD-R, CD-RW, method 2 (and DVD-ROM)
  capabilities[4] = 0x71;  // audio play, mode 2 form 1 and 2, multisession
  capabilities[5] = char(0x03 | (c2Pointers_ ? 0x10 : 0));  // CD-DA, accurate stream (C2)
  capabilities[6] = char(0x29 | (locked_ ? 0x02 : 0));      // tray loader, eject, lock (and locked)
  PutBigEndian(response, kHeader + 8, 2, maxSpeed_);
  PutBigEndian(response, kHeader + 10, 2, 256);   // volume levels
  PutBigEndian(response, kHeader + 12, 2, 2048);  // buffer size in kB
  PutBigEndian(response, kHeader + 14, 2, currentSpeed_);
  return Reply::Good(CopyOut(response, int(GetBigEndian(cdb + 7, 2)), data, dataLength));
}

// ---- commands on the medium ------------------------------------------------------------------

VirtualDrive::Reply VirtualDrive::ReadToc(const uint8_t* cdb, uint8_t* data, int dataLength) {
  std::lock_guard lock(mutex_);
  const auto disc = ReadyDisc();
  if (!disc) return Reply::Check(kNoMedium);
  const int allocation = int(GetBigEndian(cdb + 7, 2));
  const int format = cdb[2] & 0x0F;
  if (format == 5) {
    QByteArray response(4, '\0');
    PutBigEndian(response, 0, 2, int(cdTextPacks_.size()) + 2);
    return Reply::Good(CopyOut(response + cdTextPacks_, allocation, data, dataLength));
  }
  if (format != 0) return Reply::Check(kInvalidField);

  const bool msf = cdb[1] & 0x02;
  const int fromTrack = cdb[6];
  const auto& tracks = disc->Tracks();
  if (fromTrack != 0xAA && fromTrack > tracks.last().number) return Reply::Check(kInvalidField);
  QByteArray response(4, '\0');
  response[2] = char(tracks.first().number);
  response[3] = char(tracks.last().number);
  auto addDescriptor = [&](int number, bool isData, int lba) {
    QByteArray descriptor(8, '\0');
    descriptor[1] = char(0x10 | (isData ? 0x04 : 0x00));  // ADR 1, control: data track bit
    descriptor[2] = char(number);
    if (msf) {
      const int frames = lba + 150;
      descriptor[5] = char(frames / 4500);
      descriptor[6] = char(frames / 75 % 60);
      descriptor[7] = char(frames % 75);
    } else {
      PutBigEndian(descriptor, 4, 4, uint32_t(lba));
    }
    response += descriptor;
  };
  for (const DiscTrack& track : tracks) {
    if (fromTrack != 0xAA && track.number >= fromTrack)
      addDescriptor(track.number, IsDataMode(track.mode), track.start);
  }
  addDescriptor(0xAA, IsDataMode(tracks.last().mode), disc->LeadOut());
  PutBigEndian(response, 0, 2, int(response.size()) - 2);
  return Reply::Good(CopyOut(response, allocation, data, dataLength));
}

VirtualDrive::Reply VirtualDrive::ReadDiscStructure(const uint8_t* cdb, uint8_t* data,
                                                    int dataLength) {
  std::lock_guard lock(mutex_);
  const auto disc = ReadyDisc();
  if (!disc) return Reply::Check(kNoMedium);
  if (!dvd_) return Reply::Check(kIncompatibleMedium);
  if (cdb[7] != 0) return Reply::Check(kInvalidField);  // only the physical format information
  constexpr uint32_t kFirstDataSector = 0x30000;
  QByteArray response(4 + 2048, '\0');
  PutBigEndian(response, 0, 2, int(response.size()) - 2);
  response[4] = 0x01;  // DVD-ROM, version 1
  response[5] = 0x02;  // 120 mm, 10.08 Mbit/s
  response[6] = 0x01;  // one embossed layer
  PutBigEndian(response, 8, 4, kFirstDataSector);
  PutBigEndian(response, 12, 4, kFirstDataSector + uint32_t(disc->LeadOut()) - 1);
  return Reply::Good(CopyOut(response, int(GetBigEndian(cdb + 8, 2)), data, dataLength));
}

VirtualDrive::Reply VirtualDrive::ReadCapacity(uint8_t* data, int dataLength) {
  std::lock_guard lock(mutex_);
  const auto disc = ReadyDisc();
  if (!disc) return Reply::Check(kNoMedium);
  QByteArray response(8, '\0');
  PutBigEndian(response, 0, 4, uint32_t(std::max(disc->LeadOut() - 1, 0)));
  PutBigEndian(response, 4, 4, RawSector::kUserSize);
  return Reply::Good(CopyOut(response, int(response.size()), data, dataLength));
}

// Takes one failing read from the first faulty sector of lba .. lba + count - 1.
bool VirtualDrive::ConsumeFault(int lba, int count, int* failing) {
  std::optional<int> first;
  for (auto it = faults_.cbegin(); it != faults_.cend(); ++it) {
    if (it.key() >= lba && it.key() - lba < count && (!first || it.key() < *first))
      first = it.key();
  }
  if (!first) return false;
  int& left = faults_[*first];
  if (left > 0 && --left == 0) faults_.remove(*first);
  *failing = *first;
  return true;
}

void VirtualDrive::Throttle(int sectors) {
  std::chrono::steady_clock::time_point until;
  {
    std::lock_guard lock(mutex_);
    if (throttleX_ <= 0 || sectors <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::duration<double> takes(sectors / (75.0 * throttleX_));
    readsDoneAt_ = std::max(readsDoneAt_, now) +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(takes);
    until = readsDoneAt_;
  }
  // In short steps, so that a cancel of the work reading never waits for a slow read.
  constexpr auto kStep = std::chrono::milliseconds(20);
  while (std::chrono::steady_clock::now() < until) {
    if (StopRequestScope::StopRequested()) {
      std::lock_guard lock(mutex_);
      readsDoneAt_ = std::chrono::steady_clock::now();
      return;
    }
    std::this_thread::sleep_until(std::min(until, std::chrono::steady_clock::now() + kStep));
  }
}

// What a read command may transfer, decided under the lock: the disc, the sectors to transfer,
// and the faulty sector after them if one is to fail; or why nothing is read.
struct VirtualDrive::ReadPlan {
  std::shared_ptr<const DiscImage> disc;
  int first = 0;
  int sectors = 0;
  std::optional<int> failing;
  std::optional<SenseCode> refusal;
};

namespace {
constexpr int kAnyDataSector = -1;  // READ (10): every sector must hold user data
}  // namespace

VirtualDrive::ReadPlan VirtualDrive::PlanRead(qint64 lba, qint64 count, int expectedType) {
  std::lock_guard lock(mutex_);
  ReadPlan plan;
  plan.disc = ReadyDisc();
  if (!plan.disc) {
    plan.refusal = kNoMedium;
    return plan;
  }
  if (lba + count > plan.disc->LeadOut()) {
    plan.refusal = kLbaOutOfRange;
    return plan;
  }
  for (const DiscTrack& track : plan.disc->Tracks()) {
    if (track.end <= lba || track.pregapStart >= lba + count) continue;
    const bool fits = expectedType == kAnyDataSector ? IsDataMode(track.mode)
                                                     : SectorMatches(expectedType, track.mode);
    if (!fits) {
      plan.refusal = kIllegalModeForTrack;
      return plan;
    }
  }
  plan.first = int(lba);
  plan.sectors = int(count);
  int failing;
  if (ConsumeFault(plan.first, plan.sectors, &failing)) {
    plan.sectors = failing - plan.first;
    plan.failing = failing;
  }
  return plan;
}

// The answer to a read that transferred `transferred` bytes from its first `sectorsRead`
// sectors: MEDIUM ERROR with the sector's address when a faulty sector or an unreadable image
// file stopped it.
VirtualDrive::Reply VirtualDrive::ReadReply(const ReadPlan& plan, int transferred, int sectorsRead,
                                            bool failed) {
  if (!plan.failing && !failed) return Reply::Good(transferred);
  Reply reply = Reply::Check(kUnrecoveredRead, transferred);
  reply.information = uint32_t(failed ? plan.first + sectorsRead : *plan.failing);
  return reply;
}

VirtualDrive::Reply VirtualDrive::Read10(const uint8_t* cdb, uint8_t* data, int dataLength) {
  const ReadPlan plan =
      PlanRead(GetBigEndian(cdb + 2, 4), int(GetBigEndian(cdb + 7, 2)), kAnyDataSector);
  if (plan.refusal) return Reply::Check(*plan.refusal);
  int transferred = 0;
  int done = 0;
  bool failed = false;
  uint8_t sector[RawSector::kUserSize];
  for (; done < plan.sectors && transferred < dataLength; ++done) {
    failed = !plan.disc->ReadUser(plan.first + done, sector);
    if (failed) break;
    const int length = std::min(RawSector::kUserSize, dataLength - transferred);
    std::memcpy(data + transferred, sector, size_t(length));
    transferred += length;
  }
  Throttle(done);
  return ReadReply(plan, transferred, done, failed);
}

bool VirtualDrive::AllAudio(const DiscImage& disc, int lba, int count) const {
  for (int i = 0; i < count; ++i) {
    const DiscTrack* track = disc.TrackAt(lba + i);
    if (!track || track->mode != TrackMode::Audio) return false;
  }
  return true;
}

// Replaces count sectors of audio read at lba with what a drive of the set read offset
// delivers: the same length, readOffset_ frames earlier, silence beyond the disc.
void VirtualDrive::ShiftAudio(const DiscImage& disc, int lba, int count, uint8_t* data) const {
  int offset;
  {
    std::lock_guard lock(mutex_);
    offset = readOffset_;
  }
  if (offset == 0) return;
  const qint64 firstFrame = qint64(lba) * kCdSectorFrames - offset;
  const qint64 frames = qint64(count) * kCdSectorFrames;
  const qint64 discFrames = qint64(disc.LeadOut()) * kCdSectorFrames;
  std::vector<uint8_t> sector(kCdSectorBytes);
  int loaded = -1;
  for (qint64 i = 0; i < frames; ++i) {
    const qint64 frame = firstFrame + i;
    uint8_t* out = data + i * kCdFrameBytes;
    if (frame < 0 || frame >= discFrames) {
      std::memset(out, 0, kCdFrameBytes);
      continue;
    }
    const int source = int(frame / kCdSectorFrames);
    if (source != loaded && !disc.ReadRaw(source, 1, sector.data()))
      std::fill(sector.begin(), sector.end(), 0);
    loaded = source;
    std::memcpy(out, sector.data() + (frame % kCdSectorFrames) * kCdFrameBytes, kCdFrameBytes);
  }
}

// Spoils the sectors of a read that carry a wrong-audio fault: differently on every read, or
// the same way each time.
std::vector<bool> VirtualDrive::CorruptAudio(int lba, int count, uint8_t* data) {
  std::lock_guard lock(mutex_);
  std::vector<bool> spoiled(size_t(count), false);
  for (int i = 0; i < count; ++i) {
    const auto fault = wrongReads_.find(lba + i);
    if (fault == wrongReads_.end()) continue;
    const uint32_t read = fault->same ? 0 : ++wrongReadsDone_;
    uint32_t noise = 0x9E3779B9u * read + uint32_t(lba + i);
    uint8_t* sector = data + size_t(i) * kCdSectorBytes;
    for (int b = 0; b < kCdSectorBytes; ++b) {
      noise = noise * 1664525u + 1013904223u;
      sector[b] ^= uint8_t((noise >> 24) | 1);  // never 0: every byte changes
    }
    spoiled[size_t(i)] = true;
    if (--fault->left == 0) wrongReads_.erase(fault);
  }
  return spoiled;
}

VirtualDrive::Reply VirtualDrive::ReadCd(const uint8_t* cdb, uint8_t* data, int dataLength) {
  const int expectedType = (cdb[1] >> 2) & 0x07;
  const uint8_t flags = cdb[9];
  bool c2Pointers;
  {
    std::lock_guard lock(mutex_);
    c2Pointers = c2Pointers_;
  }
  // C2 error pointers (the 294-byte block) come only with whole audio sectors here.
  const bool c2 = c2Pointers && flags == (kWholeSector | kC2ErrorBlock);
  if (expectedType > int(ExpectedType::Mode2Form2) || ((flags & kErrorField) && !c2) ||
      (cdb[10] & 0x07)) {
    return Reply::Check(kInvalidField);  // no other error field nor sub-channel data here
  }
  return c2 ? ReadCdWithC2(cdb, data, dataLength)
            : ReadCdSectors(cdb, flags, data, dataLength, nullptr);
}

// Each sector's audio followed by its C2 error block: one bit a byte, set where the byte is
// wrong, so every bit of a spoiled sector.
VirtualDrive::Reply VirtualDrive::ReadCdWithC2(const uint8_t* cdb, uint8_t* data, int dataLength) {
  constexpr int kStride = kCdSectorBytes + kC2BlockBytes;
  std::vector<uint8_t> audio(size_t(dataLength / kStride) * kCdSectorBytes);
  std::vector<bool> spoiled;
  Reply reply = ReadCdSectors(cdb, kWholeSector, audio.data(), int(audio.size()), &spoiled);
  const int sectors = reply.transferred / kCdSectorBytes;
  for (int i = 0; i < sectors; ++i) {
    uint8_t* at = data + size_t(i) * kStride;
    std::memcpy(at, audio.data() + size_t(i) * kCdSectorBytes, kCdSectorBytes);
    const bool wrong = size_t(i) < spoiled.size() && spoiled[size_t(i)];
    std::memset(at + kCdSectorBytes, wrong ? 0xFF : 0, kC2BlockBytes);
  }
  reply.transferred = sectors * kStride;
  return reply;
}

VirtualDrive::Reply VirtualDrive::ReadCdSectors(const uint8_t* cdb, uint8_t flags, uint8_t* data,
                                                int dataLength, std::vector<bool>* spoiled) {
  const int expectedType = (cdb[1] >> 2) & 0x07;
  const ReadPlan plan = PlanRead(GetBigEndian(cdb + 2, 4), GetBigEndian(cdb + 6, 3), expectedType);
  if (plan.refusal) return Reply::Check(*plan.refusal);
  int transferred = 0;
  int done = 0;
  bool failed = false;
  while (done < plan.sectors && transferred < dataLength && !failed) {
    const int lba = plan.first + done;
    const DiscTrack* track = plan.disc->TrackAt(lba);
    failed = !track;
    if (failed) break;
    const auto fields = SelectedFields(flags, track->mode);
    const int wholeSectors = std::min(plan.sectors - done, track->end - lba);
    const int fitting = std::min(wholeSectors, (dataLength - transferred) / kCdSectorBytes);
    if (FieldsSize(fields) == kCdSectorBytes && fitting > 0) {
      // Whole raw sectors: straight from the image into the caller's buffer.
      failed = !plan.disc->ReadRaw(lba, fitting, data + transferred);
      if (!failed) {
        done += fitting;
        transferred += fitting * kCdSectorBytes;
      }
      continue;
    }
    uint8_t raw[kCdSectorBytes];
    failed = !plan.disc->ReadRaw(lba, 1, raw);
    for (const FieldRange& field : fields) {
      if (failed) break;
      const int length = std::min(field.end - field.begin, dataLength - transferred);
      std::memcpy(data + transferred, raw + field.begin, size_t(length));
      transferred += length;
    }
    if (!failed) ++done;
  }
  if (done > 0 && transferred == done * kCdSectorBytes && AllAudio(*plan.disc, plan.first, done)) {
    ShiftAudio(*plan.disc, plan.first, done, data);
    const std::vector<bool> wrong = CorruptAudio(plan.first, done, data);
    if (spoiled) *spoiled = wrong;
  }
  Throttle(done);
  return ReadReply(plan, transferred, done, failed);
}
