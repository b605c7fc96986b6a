// What a BIN image run leaves in its folder when the run goes well, when another file takes
// the image's name while it runs, when it is cancelled and when its CUE sheet cannot be
// written: the files there, and what the run reports.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>

#include "encoders/part_file.h"
#include "rip/bin_cue_image_writer.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class ImageWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = disc_.Insert();
    ASSERT_NE(device_, nullptr);
  }

  QString Path(const QString& name) const { return out_.filePath(name); }
  QStringList Names() const {
    return QDir(out_.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
  }

  TempConfig config_;
  TestDisc disc_{{TestTrack(60), TestTrack(40)}};
  CdDevice* device_ = nullptr;
  QTemporaryDir out_;
};

TEST_F(ImageWriterTest, EveryOutcomeLeavesWhatItSays) {
  const QString bin = Path("IMAGE.bin");
  const struct Case {
    const char* what;
    // Runs before the start, on the test's thread.
    std::function<void()> before;
    // Runs at the first progress report, on the writer's thread.
    std::function<void(BinCueImageWriter&)> whileCopying;
    bool failed;
    QString errorText;
    QString written;  // the image's final path; empty when nothing stays
    QStringList names;
    QByteArray other;  // what the file that took the name meanwhile still holds
  } cases[] = {
      {"a run that goes well", {}, {}, false, {}, bin, {"IMAGE.bin", "IMAGE.cue"}, {}},
      {"another image takes the name meanwhile",
       {},
       [&](BinCueImageWriter&) { WriteFileBytes(bin, "the other disc"); },
       false,
       {},
       Path("IMAGE (2).bin"),
       {"IMAGE (2).bin", "IMAGE (2).cue", "IMAGE.bin"},
       "the other disc"},
      {"cancelled", {}, [](BinCueImageWriter& w) { w.stopRequested = 1; }, false, {}, {}, {}, {}},
      {"the CUE sheet cannot be written",
       [this] { QDir().mkpath(PartPathFor(Path("IMAGE.cue"))); },
       {},
       true,
       Path("IMAGE.cue") + ": File exists",
       {},
       {QFileInfo(PartPathFor(Path("IMAGE.cue"))).fileName()},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(out_.path()).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(out_.path()));
    if (c.before) c.before();
    BinCueImageWriter writer;
    writer.drive = device_;
    bool hooked = false;
    writer.statusCallback = [&](StatusReport report) {
      if (report.IsDone() || hooked || !c.whileCopying) return;
      hooked = true;
      c.whileCopying(writer);
    };
    ASSERT_EQ(writer.StartImage(bin), 1);
    writer.Join();

    EXPECT_EQ(writer.failed, c.failed);
    EXPECT_EQ(writer.errorText, c.errorText);
    EXPECT_EQ(Names(), c.names);
    if (!c.other.isEmpty()) {
      EXPECT_EQ(ReadFileBytes(bin), c.other);
    }
    if (c.written.isEmpty()) continue;
    EXPECT_EQ(writer.outputPath, c.written);
    EXPECT_EQ(ReadFileBytes(c.written).size(), (60 + 40) * 2352);
    const QByteArray sheet = ReadFileBytes(CuePathFor(c.written));
    EXPECT_TRUE(sheet.startsWith("FILE \"" + QFileInfo(c.written).fileName().toUtf8() + "\""))
        << sheet.toStdString();
  }
}

}  // namespace
