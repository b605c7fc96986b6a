#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/scsi_host.h"

class DiscImage;

// One emulated MMC drive: tray, medium, speeds, faults, command log. It answers command
// blocks as a drive behind the system's SCSI layer does (status, sense, residue), from a
// DiscImage. Safe to use from several threads; reads of the image run outside its lock.
class VirtualDrive {
 public:
  // Called with (device name, arrived) when a disc becomes readable or stops being so.
  using MediaNotifier = std::function<void(const QString&, bool)>;

  explicit VirtualDrive(QString deviceName, MediaNotifier notifier = {});
  ~VirtualDrive();
  VirtualDrive(const VirtualDrive&) = delete;
  VirtualDrive& operator=(const VirtualDrive&) = delete;

  // Parses a CUE sheet and inserts its image; the tray closes. False with a message naming
  // the sheet and line for a bad image (the drive keeps what it had).
  bool LoadCue(const QString& cuePath, QString* error);
  void LoadDemo();
  void LoadImage(std::shared_ptr<const DiscImage> image);
  void RemoveDisc();

  // The tray as a hand at the drive moves it (a lock does not stop this).
  void SetTrayOpen(bool open);
  bool IsTrayOpen() const;
  bool HasDisc() const;
  bool IsLocked() const;  // PREVENT ALLOW MEDIUM REMOVAL

  // DVD media: READ DISC STRUCTURE succeeds and the drive reports DVD reading.
  void SetDvd(bool dvd);

  // The fastest read speed, and the speeds SET CD SPEED can choose; a requested speed becomes
  // the fastest accepted one not above it (the slowest when none is). An empty list accepts
  // any speed up to the maximum. Setting the maximum also makes it the current speed.
  void SetMaxSpeedKBps(int kbps);
  void SetAcceptedSpeedsKBps(QList<int> speeds);
  int CurrentSpeedKBps() const;

  // Reads take at least count / (75 x) seconds (x-speed); 0 = as fast as possible.
  void SetReadThrottleX(double x);
  double ReadThrottleX() const;

  // Reads touching lba fail with MEDIUM ERROR: the next `times` reads, or always when times < 0.
  void FailSector(int lba, int times);
  // The next `times` audio reads of lba succeed with wrong audio in that sector, different on
  // each read, as a scratch the drive's error correction hides; or, sameEachTime, the same
  // wrong audio on each of them, as a drive's cache or a stable misread gives.
  void CorruptSector(int lba, int times, bool sameEachTime = false);
  // A drive that reports C2 error pointers (capabilities page 2Ah, READ CD's error field):
  // a sector read wrong by CorruptSector has every byte marked. Off: READ CD refuses the field.
  void SetC2Pointers(bool on);
  void ClearFaults();

  // A drive's read offset in frames: asked for audio sector s, it delivers audio that starts
  // `frames` frames before s's true start (after it when negative); what lies beyond the disc
  // reads as silence. Requests for the lead-in or the lead-out stay refused.
  void SetReadOffset(int frames);

  // Every command block received, oldest first (the oldest are dropped beyond kCommandLogLimit).
  QList<QByteArray> CommandLog() const;
  void ClearCommandLog();
  static constexpr int kCommandLogLimit = 200000;

  QString DeviceName() const { return name_; }

  // One command block: fills status, sense, residue and duration as a drive and its
  // driver do. 0, or -errno for a malformed command.
  int Execute(ScsiCommand& command);
  // kDriveTrayOpen, kDriveNoDisc or kDriveDiscPresent.
  int DriveStatus() const;

 private:
  struct Reply;
  struct ReadPlan;
  Reply Dispatch(const uint8_t* cdb, int cdbLength, uint8_t* data, int dataLength);
  Reply TestUnitReady();
  Reply Inquiry(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply ReadToc(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply MechanismStatus(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply StartStopUnit(const uint8_t* cdb);
  Reply PreventAllow(const uint8_t* cdb);
  Reply SetCdSpeed(const uint8_t* cdb);
  Reply ModeSense(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply ReadDiscStructure(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply ReadCapacity(uint8_t* data, int dataLength);
  Reply Read10(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply ReadCd(const uint8_t* cdb, uint8_t* data, int dataLength);

  std::shared_ptr<const DiscImage> ReadyDisc() const;
  ReadPlan PlanRead(qint64 lba, qint64 count, int expectedType);
  static Reply ReadReply(const ReadPlan& plan, int transferred, int sectorsRead, bool failed);
  bool ConsumeFault(int lba, int count, int* failing);
  void ShiftAudio(const DiscImage& disc, int lba, int count, uint8_t* data) const;
  // The sectors (from lba on) it spoiled.
  std::vector<bool> CorruptAudio(int lba, int count, uint8_t* data);
  Reply ReadCdWithC2(const uint8_t* cdb, uint8_t* data, int dataLength);
  Reply ReadCdSectors(const uint8_t* cdb, uint8_t flags, uint8_t* data, int dataLength,
                      std::vector<bool>* spoiled);
  bool AllAudio(const DiscImage& disc, int lba, int count) const;
  void Throttle(int sectors);
  int RoundSpeed(int kbps) const;
  void Insert(std::shared_ptr<const DiscImage> image);
  void Notify(bool arrived);

  const QString name_;
  const MediaNotifier notifier_;
  mutable std::mutex mutex_;
  std::shared_ptr<const DiscImage> disc_;
  QByteArray cdTextPacks_;
  bool trayOpen_ = false;
  bool locked_ = false;
  bool dvd_ = false;
  int maxSpeed_ = 7056;  // 40x of 176.4 kB/s
  int currentSpeed_ = 7056;
  QList<int> acceptedSpeeds_;
  double throttleX_ = 0;
  std::chrono::steady_clock::time_point readsDoneAt_{};
  QHash<int, int> faults_;  // lba -> reads left to fail, -1 = always
  struct WrongReads {
    int left = 0;  // reads that give wrong audio
    bool same = false;
  };
  QHash<int, WrongReads> wrongReads_;  // by lba
  bool c2Pointers_ = false;
  uint32_t wrongReadsDone_ = 0;
  int readOffset_ = 0;
  std::deque<QByteArray> log_;
};

// Lists the drives as "vcd0", "vcd1", ... after the real ones and answers their command blocks.
//
// The drives are listed only once they are asked for: a disc put in one of them
// (KORVANE_VIRTUAL_DISC, --virtual-disc, the demo disc of a machine without a drive, a test)
// or a further drive added. Until then a machine's real drives are its only drives, so an
// empty virtual drive never joins the drive list beside a real one.
class VirtualDriveHost : public ScsiHost {
 public:
  static VirtualDriveHost& Instance();  // first use registers itself with AddEmulatedHost
  VirtualDrive& Drive(int index = 0);   // vcd0 exists from the start (empty until loaded)
  VirtualDrive& AddDrive();             // a further drive, "vcd1" and on; lists the drives
  int DriveCount() const;

  bool IsListed() const { return listed_.load(); }
  void SetListed(bool listed) { listed_.store(listed); }

  // Disc arrival and removal, as a real drive raises them: (device name, arrived). Listeners
  // are called on the thread that caused the change.
  int AddMediaListener(std::function<void(const QString&, bool)> listener);
  void RemoveMediaListener(int id);

  int Open(const QString& path, bool readWrite) override;
  void Close(int handle) override;
  int SendCommand(int handle, ScsiCommand& command) override;
  int DriveStatus(int handle) override;
  QList<ScsiNode> BlockDevices() override;
  QList<ScsiNode> GenericDevices() override;

  // The SCSI address the drives are listed at: host kScsiHost, target = drive number.
  static constexpr int kScsiHost = 10;

 private:
  VirtualDriveHost();
  VirtualDrive& CreateDrive();
  VirtualDrive* DriveFor(int handle);
  void RaiseMediaEvent(const QString& device, bool arrived);

  mutable std::mutex mutex_;
  std::deque<std::unique_ptr<VirtualDrive>> drives_;
  std::map<int, VirtualDrive*> handles_;
  int nextHandle_ = 0;
  std::map<int, std::function<void(const QString&, bool)>> listeners_;
  int nextListener_ = 1;
  std::atomic<bool> listed_{false};
};

// A sector that fails to read: always (times < 0), or the first `times` reads; or, when
// wrongAudio, one that reads without an error but wrong on its first `times` reads (the same
// wrong audio each time when sameWrongAudio).
struct SectorFault {
  int lba;
  int times;
  bool wrongAudio = false;
  bool sameWrongAudio = false;
};

// "LBA" (always), "LBA:k" (the first k reads), "LBA~k" (wrong audio on the first k reads,
// different each time) or "LBA^k" (the same wrong audio on the first k reads),
// comma-separated; nothing, with a message, for anything else.
std::optional<QList<SectorFault>> ParseFaultList(const QString& text, QString* error);

// Applies KORVANE_VIRTUAL_DISC (a .cue path or "demo"), KORVANE_VIRTUAL_FAULTS ("LBA" fails always,
// "LBA:k" the first k reads, "LBA~k" wrong audio on the first k reads, "LBA^k" the same wrong
// audio on them, comma-separated), KORVANE_VIRTUAL_SPEED (x-speed throttle),
// KORVANE_VIRTUAL_OFFSET (read offset in frames, "+667") and KORVANE_VIRTUAL_C2 (1: C2 error
// pointers) to vcd0.
// With no KORVANE_VIRTUAL_DISC, an empty vcd0 gets the demo disc when the system has no real drive.
// Returns false with an error text for a bad image or a malformed variable.
bool SetUpVirtualDriveFromEnvironment(QString* error);
