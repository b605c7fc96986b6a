#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/crash_report.h"

namespace {

using CrashReport::Writer;

// What a Writer puts into a file, read back.
template <typename Fill>
std::string Written(Fill fill) {
  const int fd = ::memfd_create("report", 0);
  {
    Writer writer(fd);
    fill(writer);
  }
  std::string text(static_cast<size_t>(::lseek(fd, 0, SEEK_END)), '\0');
  (void)!::pread(fd, text.data(), text.size(), 0);
  ::close(fd);
  return text;
}

TEST(CrashReportWriter, FormatsNumbersAndTimesByHand) {
  EXPECT_EQ(Written([](Writer& w) { w.Hex(0).Text(" ").Hex(0xfedcba9876543210ULL); }),
            "0x0000000000000000 0xfedcba9876543210");
  EXPECT_EQ(Written([](Writer& w) {
              w.Dec(0).Text(" ").Dec(-42).Text(" ").Dec(7, 3).Text(" ").Dec(INT64_MIN);
            }),
            "0 -42 007 -9223372036854775808");

  const struct {
    int64_t seconds;
    const char* text;
  } times[] = {
      {0, "1970-01-01 00:00:00 UTC"},
      {951825599, "2000-02-29 11:59:59 UTC"},  // leap day of a century leap year
      {1709251199, "2024-02-29 23:59:59 UTC"},
      {4107542400, "2100-03-01 00:00:00 UTC"},  // 2100 is no leap year
      {-1, "1969-12-31 23:59:59 UTC"},
  };
  for (const auto& t : times) {
    EXPECT_EQ(Written([&](Writer& w) { CrashReport::WriteUtcTime(w, t.seconds); }), t.text)
        << t.seconds;
  }
}

TEST(CrashReportWriter, LongTextsPassTheBufferWhole) {
  const std::string big(5000, 'q');
  EXPECT_EQ(Written([&](Writer& w) { w.Text("a").Text(big.c_str()).Text("b"); }), "a" + big + "b");
}

TEST(CrashReportMaps, ParsesLinesAndRefusesBrokenOnes) {
  const char line[] =
      "55d0c4a00000-55d0c4a2b000 r-xp 0001f000 fd:01 1234567                    "
      "/usr/bin/korvane-cli";
  CrashReport::MapsLine parsed;
  ASSERT_TRUE(CrashReport::ParseMapsLine(line, std::strlen(line), parsed));
  EXPECT_EQ(parsed.start, 0x55d0c4a00000u);
  EXPECT_EQ(parsed.end, 0x55d0c4a2b000u);
  EXPECT_EQ(parsed.offset, 0x1f000u);
  EXPECT_TRUE(parsed.executable);
  EXPECT_EQ(std::string(parsed.path, parsed.pathSize), "/usr/bin/korvane-cli");

  const char anonymous[] = "7ffd1000-7ffd2000 rw-p 00000000 00:00 0 ";
  ASSERT_TRUE(CrashReport::ParseMapsLine(anonymous, std::strlen(anonymous), parsed));
  EXPECT_EQ(parsed.pathSize, 0u);
  EXPECT_FALSE(parsed.executable);

  const char* broken[] = {
      "",
      "7ffd1000 rw-p 00000000 00:00 0",                      // no end
      "7ffd2000-7ffd1000 rw-p 00000000 00:00 0",             // ends before it starts
      "7ffd1000-7ffd2000 rw-p",                              // no offset
      "7ffd1000-7ffd2000 rw 00000000 00:00 0",               // short permissions
      "10000000000000000-10000000000000001 r-xp 0 00:00 0",  // more than 64 bits
      "xyz-7ffd2000 rw-p 00000000 00:00 0",
  };
  for (const char* text : broken) {
    EXPECT_FALSE(CrashReport::ParseMapsLine(text, std::strlen(text), parsed)) << text;
  }
}

TEST(CrashReportMaps, AddressesAreRelativeToTheirModulesLoadBase) {
  const std::string maps =
      "1000-2000 r--p 00000000 08:01 1 /opt/korvane/bin/korvane-cli\n"
      "2000-5000 r-xp 00001000 08:01 1 /opt/korvane/bin/korvane-cli\n"
      "6000-7000 rw-p 00000000 00:00 0 [heap]\n"
      "a000-b000 r--p 00000000 08:01 2 /usr/lib/libc.so.6\n"
      "b000-f000 r-xp 00001000 08:01 2 /usr/lib/libc.so.6\n"
      "garbage line\n"
      "10000-11000 r-xp 00000000 00:00 0 [vdso]";
  const struct {
    uint64_t address;
    const char* module;  // nullptr: not in a file
    uint64_t relative;
  } cases[] = {
      {0x1000, "/opt/korvane/bin/korvane-cli", 0},
      {0x2abc, "/opt/korvane/bin/korvane-cli", 0x1abc},
      {0x4fff, "/opt/korvane/bin/korvane-cli", 0x3fff},
      {0xc123, "/usr/lib/libc.so.6", 0x2123},
      {0x6100, nullptr, 0},
      {0x10010, nullptr, 0},
      {0x5000, nullptr, 0},
      {0x20000, nullptr, 0},
  };
  for (const auto& c : cases) {
    CrashReport::ModuleAddress found;
    const bool inModule = CrashReport::FindModule(maps.data(), maps.size(), c.address, found);
    EXPECT_EQ(inModule, c.module != nullptr) << std::hex << c.address;
    if (!inModule || !c.module) continue;
    EXPECT_EQ(std::string(found.path, found.pathSize), c.module);
    EXPECT_EQ(found.relative, c.relative) << std::hex << c.address;
  }
}

}  // namespace
