#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>

#include "drive/toc.h"
#include "platform/cd_sector.h"

// The part of a drive's fixed-format sense data the callers look at.
struct SenseSummary {
  uint8_t senseKey = 0;      // byte 2, taken whole (flag bits included)
  uint8_t asc = 0;           // byte 12
  uint8_t ascq = 0;          // byte 13
  uint32_t information = 0;  // bytes 3..6, most significant first
};

// The drive interface: carries MMC command blocks to the current drive through one of two
// transports, and offers the commands the rest of Korvane uses on top of that. Every
// operation reports failure as false (or 0); nothing here shows a message.
//
// Most commands open the drive, send, and close it again. The three sector reads do not:
// a read loop calls Open once, issues its reads, and calls Close at the end, and no other
// command may be sent while it runs.
class CdDevice {
 public:
  static constexpr int kCdbSize = 16;  // callers pass at least this many bytes
  static constexpr int kSenseBytes = 19;
  static constexpr unsigned kTimeoutMs = 8000;
  static constexpr int kMaxSectorsPerRead = 255;  // the count is one CDB byte
  static constexpr int kCdTextBufferSize = 65280;
  static constexpr int kInquiryBytes = 255;
  static constexpr uint32_t kCdSpeedUnitSet = 177;    // kB/s per "x" when setting (CD)
  static constexpr uint32_t kCdSpeedUnitQuery = 176;  // kB/s per "x" when reading back (CD)
  static constexpr uint32_t kDvdSpeedUnit = 1385;

  virtual ~CdDevice() = default;

  // ---- transport ----
  virtual bool Initialize() { return true; }
  // Appends one display name ("[sr0] VENDOR PRODUCT") per drive found.
  virtual bool EnumerateDrives(QStringList& displayNames) = 0;
  // Makes the first drive with exactly this product name current and sets the speed units.
  virtual bool SelectDrive(const QString& productName);
  // Makes the drive with this device name ("sr1", "vcd0") current when it exists and
  // carries this product name, so two identical drives can both be chosen.
  virtual bool SelectDevice(const QString& deviceName, const QString& productName) = 0;
  // The device name of the current drive; empty before a selection.
  virtual QString CurrentDeviceName() const = 0;
  virtual bool OpenReadOnly() { return true; }
  virtual bool Open() { return true; }
  virtual bool Close() { return true; }
  // Sends one command block (at least kCdbSize bytes, unused ones zero). True only when the
  // command reached the drive and completed with GOOD status. A supplied sense record is
  // filled whenever the command was attempted (zeros when the drive gave no sense data).
  virtual bool Execute(const uint8_t* cdb, void* buffer, bool closeAfter, uint32_t length,
                       bool writeDirection, SenseSummary* sense) = 0;

  // ---- commands ----
  bool TestUnitReady();
  bool ReadToc();
  // Reads the CD-TEXT packs into a buffer of kCdTextBufferSize bytes; dataLength is the
  // length the drive reports (response bytes 0..1).
  bool ReadCdText(uint8_t* buffer, int& dataLength);
  // True when the tray state is known; closed tells which.
  bool IsTrayClosed(bool& closed);
  bool LoadTray();
  bool EjectTray();
  bool StartUnit();
  bool StopUnit();
  bool LockTray();
  bool UnlockTray();
  bool SetMaxSpeed();
  bool SetSpeed(int factor);
  // The drive's read speed as an "x" factor; 0 on failure.
  int GetMaxReadSpeed();
  bool IsDvd();
  // The last logical block address; 0 on failure.
  uint32_t ReadCapacity();
  bool Inquiry(uint8_t* buffer);  // kInquiryBytes bytes

  // ---- sector reads (the caller has opened the drive) ----
  // count audio sectors from lba, never past the lead-out; length is the buffer's size in
  // and count x 2352 out. Given c2Errors (count flags), the drive's C2 error pointers come
  // too: a flag is set for a sector with a byte its error correction could not mend.
  bool ReadAudio(int lba, int count, uint8_t* buffer, int& length, bool* c2Errors = nullptr);
  // Whether the drive reports C2 error pointers (its capabilities page says so).
  bool ReportsC2Errors();
  // count user-data sectors (READ 10) of sectorSize bytes.
  bool ReadData(int lba, int count, int sectorSize, uint8_t* buffer, SenseSummary* sense);
  // count whole raw sectors with headers, EDC and ECC (READ CD).
  bool ReadRaw(int lba, int count, int sectorSize, uint8_t* buffer, SenseSummary* sense);

  // "DEFAULT" leaves the speed alone, "MAX" asks for the highest, a number n for n-times.
  bool ApplyReadSpeed(const QString& setting);
  // Raw speeds in kB/s: the current read speed the drive reports, and a speed to set.
  bool ReadSpeedKBps(uint32_t& kbps);
  bool SetSpeedKBps(uint32_t kbps);

  // ---- table of contents (read on first use after a selection) ----
  void ClearToc() { tocBuffer.fill(0); }
  Toc::View TocView() const { return Toc::View(tocBuffer); }
  bool GetTrackCount(int& count);
  bool IsDataTrack(int index, bool& data);
  bool GetTrackStart(int index, int& lba);
  bool GetTrackEnd(int index, int& lba);
  bool GetTrackIndex01(int index, int& lba);  // Toc::View::Index01
  bool GetTrackSize(int index, int64_t& bytes);
  bool GetTrackSeconds(int index, int& seconds);
  // On a DVD the capacity of the disc, otherwise the track's size.
  bool GetDiscSize(int index, int64_t& bytes);

  Toc::Buffer tocBuffer{};
  // The read offset the audio reads correct (see drive/read_offset.h), in frames.
  std::atomic<int> readOffset{0};
  std::atomic<uint32_t> speedUnitSet{kCdSpeedUnitSet};
  std::atomic<uint32_t> speedUnitQuery{kCdSpeedUnitQuery};

 protected:
  // Units for the newly current drive: DVD when READ DISC STRUCTURE succeeds.
  void SetSpeedUnits();
  // The tray state from the system, for when the system refused MECHANISM STATUS itself.
  virtual bool SystemTrayClosed(bool& closed) {
    (void)closed;
    return false;
  }

 private:
  using Cdb = std::array<uint8_t, kCdbSize>;
  bool SendSelfOpening(const Cdb& cdb, void* buffer, uint32_t length);
  bool SendGuarded(const Cdb& cdb, void* buffer, uint32_t length, SenseSummary* sense = nullptr);
  bool StartStop(uint8_t immediate, uint8_t operation, bool withBuffer);
  bool PreventAllow(uint8_t prevent);
  bool ReadSectors(uint8_t opcode, int lba, int count, int sectorSize, uint8_t* buffer,
                   SenseSummary* sense);
  bool EnsureToc();
};

// The fields of fixed-format sense data (kSenseBytes bytes).
SenseSummary ParseSense(const uint8_t* sense);

// The drive's name from INQUIRY data: vendor (bytes 8..15) and product (16..31) joined
// without a separator, Windows-1252, trimmed.
QString InquiryProductName(const uint8_t* inquiry);
