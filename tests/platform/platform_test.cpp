#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/device_watch.h"

namespace {

TEST(Ansi, RoundTripsEveryByteOfWindows1252) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(char(b));
  const QString text = Ansi::Decode(all);
  EXPECT_EQ(text[0x80], QChar(0x20AC));  // euro sign
  EXPECT_EQ(text[0x9F], QChar(0x0178));
  EXPECT_EQ(text[0xE9], QChar(0xE9));
  EXPECT_EQ(text[0x81], QChar(0x81)) << "undefined bytes keep their value";
  EXPECT_EQ(Ansi::Encode(text), all);
  EXPECT_EQ(Ansi::Encode(QString::fromUtf8("Ж音 ok")), "?? ok");
}

TEST(DeviceWatch, OnlyMediaChangesOfADriveAreEvents) {
  struct Case {
    const char* action;
    const char* mediaChange;
    const char* cdromMedia;
    MediaEvent::Kind kind;
  } cases[] = {
      {"change", "1", "1", MediaEvent::Kind::Arrived},
      {"change", "1", "", MediaEvent::Kind::Removed},
      {"change", "1", "0", MediaEvent::Kind::Removed},
      {"change", "", "1", MediaEvent::Kind::None},
      {"add", "1", "1", MediaEvent::Kind::None},
      {"remove", "1", "1", MediaEvent::Kind::None},
  };
  for (const Case& c : cases) {
    const MediaEvent event = ClassifyMediaEvent(c.action, "sr1", c.mediaChange, c.cdromMedia);
    EXPECT_EQ(event.kind, c.kind) << c.action << c.mediaChange << c.cdromMedia;
    if (event.kind != MediaEvent::Kind::None) {
      EXPECT_EQ(event.deviceName, "sr1");
    }
  }
}

}  // namespace
