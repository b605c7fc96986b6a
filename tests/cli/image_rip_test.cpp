#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "rip/bin_cue_image_writer.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

constexpr int kRaw = 2352;

// A mixed disc: an ISO 9660 data track made by genisoimage, then two audio tracks.
class ImageRipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileBytes(src_.filePath("content/readme.txt"), QByteArray(70000, 'k')) ||
                (QDir(src_.path()).mkpath("content") &&
                 WriteFileBytes(src_.filePath("content/readme.txt"), QByteArray(70000, 'k'))));
    const ProcessResult made = RunProgram(
        "genisoimage",
        {"-quiet", "-V", "KORVLABEL", "-o", src_.filePath("data.iso"), src_.filePath("content")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    iso_ = ReadFileBytes(src_.filePath("data.iso"));
    audio_ = TestDisc({TestTrack(100), TestTrack(80)}).TrackAudio(0);  // generated audio
    audio_ += audio_.left(80 * kRaw);
    ASSERT_TRUE(WriteFileBytes(src_.filePath("audio.bin"), audio_));
    ASSERT_TRUE(
        WriteFileBytes(src_.filePath("disc.cue"),
                       "FILE \"data.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
                       "FILE \"audio.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n"
                       "  TRACK 03 AUDIO\n    INDEX 01 00:01:25\n"));
  }
  ProcessResult Rip(const QString& cue, const QString& format, const QString& faults = {}) {
    return RunCli(config_.Dir(),
                  {"--virtual-disc", cue, "rip", "--out", out_.path(), "--format", format},
                  {"KORVANE_VIRTUAL_FAULTS=" + faults});
  }
  int DataSectors() const { return int(iso_.size() / 2048); }

  TempConfig config_;
  QTemporaryDir src_;
  QTemporaryDir out_;
  QByteArray iso_;
  QByteArray audio_;
};

TEST_F(ImageRipTest, BinHoldsEveryRawSectorAndItsCueSheetLoadsBack) {
  const ProcessResult r = Rip(src_.filePath("disc.cue"), "bin");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QString bin = out_.filePath("KORVLABEL.bin");
  const QByteArray image = ReadFileBytes(bin);
  const int data = DataSectors();
  ASSERT_EQ(image.size(), qsizetype(data + audio_.size() / kRaw) * kRaw);
  for (int s = 0; s < data; ++s) {
    const QByteArray sector = image.mid(qsizetype(s) * kRaw, kRaw);
    ASSERT_EQ(sector.left(12), QByteArray::fromHex("00FFFFFFFFFFFFFFFFFFFF00")) << s;
    ASSERT_EQ(sector[15], char(1)) << s;
    ASSERT_EQ(sector.mid(16, 2048), iso_.mid(qsizetype(s) * 2048, 2048)) << s;
  }
  EXPECT_EQ(image.mid(qsizetype(data) * kRaw), audio_);
  const QString cue = QString::fromLatin1(ReadFileBytes(out_.filePath("KORVLABEL.cue")));
  const int audioStart = data;
  const int second = data + 100;
  EXPECT_EQ(
      cue,
      QString("FILE \"KORVLABEL.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n    INDEX 01 %1\r\n  TRACK 03 AUDIO\r\n    INDEX 01 %2\r\n")
          .arg(QString::asprintf("%02d:%02d:%02d", audioStart / 4500, audioStart / 75 % 60,
                                 audioStart % 75),
               QString::asprintf("%02d:%02d:%02d", second / 4500, second / 75 % 60, second % 75)));

  // Round trip: the image in the virtual drive is the same disc, EDC and ECC included.
  const ProcessResult before =
      RunCli(config_.Dir(), {"--virtual-disc", src_.filePath("disc.cue"), "toc"});
  const ProcessResult after =
      RunCli(config_.Dir(), {"--virtual-disc", out_.filePath("KORVLABEL.cue"), "toc"});
  EXPECT_EQ(after.exitCode, 0);
  EXPECT_EQ(after.out, before.out);
  QTemporaryDir again;
  const ProcessResult copy = RunCli(config_.Dir(),
                                    {"--virtual-disc", out_.filePath("KORVLABEL.cue"), "rip",
                                     "--out", again.path(), "--format", "bin"},
                                    {"KORVANE_VIRTUAL_FAULTS="});
  ASSERT_EQ(copy.exitCode, 0) << copy.err.toStdString();
  EXPECT_EQ(ReadFileBytes(again.filePath("KORVLABEL.bin")), image);

  // bchunk reads the sheet: the data track back as the ISO image it came from.
  QTemporaryDir split;
  const ProcessResult chunked =
      RunProgram("bchunk", {bin, out_.filePath("KORVLABEL.cue"), split.filePath("t")});
  ASSERT_EQ(chunked.exitCode, 0) << chunked.out.toStdString() << chunked.err.toStdString();
  EXPECT_EQ(ReadFileBytes(split.filePath("t01.iso")), iso_);
  EXPECT_EQ(ReadFileBytes(split.filePath("t03.cdr")).size(), 80 * kRaw);
}

TEST_F(ImageRipTest, IsoIsTheDataImageNamedFromItsLabelAndNeverOverwritten) {
  ASSERT_TRUE(
      WriteFileBytes(src_.filePath("data_only.cue"),
                     "FILE \"data.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"));
  const ProcessResult r = Rip(src_.filePath("data_only.cue"), "iso");
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(ReadFileBytes(out_.filePath("KORVLABEL.iso")), iso_);
  const ProcessResult second = Rip(src_.filePath("data_only.cue"), "iso");
  ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
  const QStringList files = QDir(out_.path()).entryList(QDir::Files | QDir::Hidden);
  ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
  for (const QString& name : files) {
    EXPECT_TRUE(name.startsWith("KORVLABEL") && name.endsWith(".iso")) << name.toStdString();
    EXPECT_EQ(ReadFileBytes(out_.filePath(name)), iso_);
  }
}

TEST_F(ImageRipTest, AnUnreadableSectorIsZerosAtItsPlaceAndExitsThree) {
  const int bad = DataSectors() + 30;  // inside the first audio track
  const ProcessResult r = Rip(src_.filePath("disc.cue"), "bin", QString::number(bad));
  EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("1 unreadable sectors")) << r.err.toStdString();
  const QByteArray image = ReadFileBytes(out_.filePath("KORVLABEL.bin"));
  const QByteArray audio = image.mid(qsizetype(DataSectors()) * kRaw);
  ASSERT_EQ(audio.size(), audio_.size());
  EXPECT_EQ(audio.mid(30 * kRaw, kRaw), QByteArray(kRaw, '\0'));
  EXPECT_EQ(audio.left(30 * kRaw), audio_.left(30 * kRaw));
  EXPECT_EQ(audio.mid(31 * kRaw), audio_.mid(31 * kRaw));
}

TEST(ImageChunks, ChunkArithmetic) {
  const struct {
    uint32_t first, last;
    int perChunk, sectors;
  } cases[] = {{0, 1000, 27, 27}, {972, 1000, 27, 27}, {999, 1000, 27, 2},  {0, 27, 27, 28},
               {0, 5, 27, 6},     {992, 1000, 31, 9},  {961, 1000, 31, 31}, {0, 31, 31, 32}};
  for (const auto& c : cases) {
    EXPECT_EQ(DiscImageWriter::ChunkSectors(c.first, c.last, c.perChunk), c.sectors)
        << c.first << " " << c.last;
  }
  // Last sector 1000: 37 chunks of 27 and one of 2, 1001 sectors in all.
  int chunks = 0;
  uint32_t sectors = 0;
  for (uint32_t b = 0;; b += 27) {
    const int n = DiscImageWriter::ChunkSectors(b, 1000, 27);
    ++chunks;
    sectors += uint32_t(n);
    if (b + uint32_t(n) > 1000) break;
  }
  EXPECT_EQ(chunks, 38);
  EXPECT_EQ(sectors * 2352u, 2354352u);
}

TEST(CueSheet, PathReplacesTheExtensionOnlyAndTextFallsBackToUtf8) {
  EXPECT_EQ(CuePathFor("/music/a.bin.d/IMAGE.bin"), "/music/a.bin.d/IMAGE.cue");
  EXPECT_EQ(CuePathFor("/m/x.bin/IMAGE_Tue.bin"), "/m/x.bin/IMAGE_Tue.cue");
  const QList<ImageCueTrack> tracks = {{0, "MODE2/2352"}, {150, "AUDIO"}};
  EXPECT_EQ(
      CueSheetText(QString::fromUtf8("Caf\u00e9.bin"), tracks),
      QByteArray("FILE \"Caf\xE9.bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
                 "  TRACK 02 AUDIO\r\n    INDEX 01 00:02:00\r\n"));
  const QByteArray utf8 = CueSheetText(QString::fromUtf8("日本.bin"), tracks);
  EXPECT_TRUE(
      utf8.startsWith("\xEF\xBB\xBF"
                      "FILE \"" +
                      QString::fromUtf8("日本").toUtf8()));
}

}  // namespace
