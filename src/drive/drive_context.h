#pragma once
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/ids.h"

class CdDevice;

// The process-wide record of the current drive: the transport in use, whether a drive is
// selected and whether it holds a DVD, the device name of the drive and the hook that stops
// playback. Who uses the drive now is the DriveClaim's to say.
class DriveContext {
 public:
  static DriveContext& Instance();

  std::atomic<CdDevice*> device{nullptr};
  std::atomic<int> present{0};
  std::atomic<int> isDvd{0};

  // "sr0", "vcd0": the drive selected last; empty before.
  QString DeviceName() const;
  // "VENDOR PRODUCT" of the drive selected last, the name its read offset is stored by.
  QString ProductName() const;
  // The player installs what stopping it takes; tray commands run it first.
  void SetStopPlaybackHook(std::function<void()> hook);
  void StopPlayback() const;

  // Makes the drive of a display name current: the device named in the brackets when it
  // still carries that product name, otherwise the first drive with the product name.
  // Clears the TOC, sets present and the DVD flag. False when no drive matches, and false
  // with nothing changed while a reader (a rip, an image, the player) holds the drive.
  bool SelectDriveByDisplayName(const QString& displayName);

 private:
  DriveContext() = default;
  mutable std::mutex mutex_;
  QString deviceName_;
  QString productName_;
  std::function<void()> stopPlayback_;
};

// "[sr0] NAME" and its two parts.
QString MakeDisplayName(const QString& deviceName, const QString& productName);
// The name in the leading brackets; empty when there are none.
QString DeviceNameOf(const QString& displayName);
// What follows the bracketed device name and its blank, trimmed.
QString ProductNameOf(const QString& displayName);

// The transport of an access method: the generic SCSI driver or the pass-through one.
CdDevice& DeviceForAccessMethod(DriveAccess access);
// Takes the transport that "AccessMethod" names, stores it in the context and initialises
// it; false when it cannot be initialised (it stays chosen, and lists no drives).
bool UseConfiguredDevice();

// The display names of every drive the configured transport finds.
QStringList ListDrives();

// The entry of drives that wanted names: a display name, or a device name ("sr0", "vcd0");
// empty when none does.
QString FindDrive(const QStringList& drives, const QString& wanted);

// The position "CurrentDriveIndex" names in a list of count drives: the first when the
// stored index is negative or not below count.
int StoredDriveIndex(qsizetype count);
// The user's choice of a drive in the list: "CurrentDriveIndex" and "Device" are written
// together, so they never disagree. False for an index outside the list.
bool StoreDriveChoice(const QStringList& drives, qsizetype index);

enum class DriveChoice { Selected, NoDrive, UnknownDrive, NotSelected };

// Chooses and selects a drive: the one wanted names when it is not empty, else the one of
// the "Device" setting when it is listed, else the entry "CurrentDriveIndex" names.
// displayName gets the choice. Nothing is written to the settings.
DriveChoice SelectPreferredDrive(const QString& wanted, QString& displayName);
