#pragma once
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <optional>

#include "drive/cd_device.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/current_disc.h"
#include "support/accuraterip_server.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

// A test disc of three tracks in the virtual drive, its AccurateRip identity, and a loopback
// database for it; the drive's emulated offset and faults are undone after each test.
class DiscInDatabaseTest : public ::testing::Test {
 protected:
  static constexpr int kTracks = 3;

  explicit DiscInDatabaseTest(const QList<TestTrack>& tracks = {TestTrack(60), TestTrack(45),
                                                                TestTrack(50)})
      : disc(tracks) {}

  void SetUp() override {
    device = disc.InsertForReading();
    ASSERT_TRUE(device);
    id = AccurateRipIdOf(*device);
    ASSERT_TRUE(id);
  }
  void TearDown() override {
    VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
    drive.SetReadOffset(0);
    drive.ClearFaults();
    drive.SetC2Pointers(false);
  }

  TestApplication<QCoreApplication> app;
  TempConfig config;
  TestDisc disc;  // of kTracks tracks
  CdDevice* device = nullptr;
  std::optional<AccurateRipId> id;
  AccurateRipServer server;
};
