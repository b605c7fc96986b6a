// Finding a drive's read offset on the virtual drive, against a loopback database that holds
// the test disc's true checksums.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/current_disc.h"
#include "rip/disc_in_database_test.h"
#include "rip/offset_detection.h"

namespace {

class OffsetDetectionTest : public DiscInDatabaseTest {
 protected:
  // Two responses, as for a disc pressed twice: the first has no entry for track 2
  // (confidence 0), the second has only track 2 right. Entry t starts at byte 13 + 9 t.
  void ServeDisc() {
    QByteArray first = TrueDbarResponse(disc, kTracks, id->Text(), 9);
    first[13 + 9] = 0;
    QByteArray second = TrueDbarResponse(disc, kTracks, id->Text(), 2);
    second[13 + 1] = char(second[13 + 1] ^ 0x5a);
    second[13 + 18 + 1] = char(second[13 + 18 + 1] ^ 0x5a);
    server.Serve(DbarPath(id->Text()), first + second);
  }

  OffsetDetection Detect() {
    return AccurateRipServer::WhileServing([&] { return DetectReadOffset(*device, server.Url()); });
  }
};

TEST_F(OffsetDetectionTest, FindsTheOffsetTheDriveHas) {
  ServeDisc();
  for (int offset : {667, -472, 0, 1800}) {
    SCOPED_TRACE(offset);
    VirtualDriveHost::Instance().Drive(0).SetReadOffset(offset);
    device->readOffset = 1234;  // the stored offset plays no part in the search
    const OffsetDetection detection = Detect();
    ASSERT_TRUE(detection.finding.found) << detection.error.toStdString();
    EXPECT_EQ(detection.finding.offset, offset);
    EXPECT_EQ(detection.finding.matchingTracks, 3);
    EXPECT_EQ(detection.finding.confidence, 9);
  }
}

TEST_F(OffsetDetectionTest, SaysWhyNothingWasFound) {
  OffsetDetection detection = Detect();  // the loopback database does not know the disc
  EXPECT_FALSE(detection.finding.found);
  EXPECT_TRUE(detection.error.contains("not in the AccurateRip database"))
      << detection.error.toStdString();

  server.Serve("/accuraterip/" + id->DatabasePath().toUtf8(),
               DbarResponse(kTracks, id->a, id->b, id->c, {{5, 1}, {5, 2}, {5, 3}}));
  detection = Detect();
  EXPECT_FALSE(detection.finding.found);
  EXPECT_TRUE(detection.error.contains("no offset from -3000 to +3000"))
      << detection.error.toStdString();

  server.SetStatus("500 Internal Server Error");
  detection = Detect();
  EXPECT_TRUE(detection.error.contains("unavailable")) << detection.error.toStdString();
}

}  // namespace
