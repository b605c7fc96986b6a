#pragma once
#include <QString>

// What the current drive is being used for.
enum class DriveUse { None, Rip, Image, Player, Refresh, Tray, OffsetDetection };

// The current drive has one user at a time. A rip, an image or the player reads it from a
// worker thread for minutes; any other command in the meantime would reopen the shared
// device handle, or clear the table of contents, under that reader. Each use holds a claim
// while it works; a claim made while another use holds the drive is refused, and the caller
// waits for the other to end or tells the user why (Reason).
class DriveClaim {
 public:
  explicit DriveClaim(DriveUse use);
  ~DriveClaim();
  DriveClaim(const DriveClaim&) = delete;
  DriveClaim& operator=(const DriveClaim&) = delete;

  bool Held() const { return held_; }
  // Why the claim was refused: the use that holds the drive. Empty when held.
  QString Reason() const;

  static DriveUse CurrentUse();
  // True while a rip, an image or the player reads the drive from a worker thread.
  static bool ReaderActive();

 private:
  DriveUse holder_ = DriveUse::None;  // this claim's use when held, else the other's
  bool held_ = false;
};
