#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "encoders/flac_encoder.h"
#include "encoders/lossy_audio.h"
#include "encoders/tag_record.h"
#include "support/test_support.h"

namespace {

constexpr int kSecondFrames = 44100;

FlacSettings Flac(int level, int verify = 0) {
  FlacSettings s;
  s.level = level;
  s.verify = verify;
  return s;
}

// The raw PCM flac decodes from a file: 16-bit little-endian stereo, as the source was fed.
QByteArray FlacDecode(const QString& path) {
  const ProcessResult r = RunProgram(
      "flac", {"-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out;
}

QString Metaflac(const QStringList& args) {
  const ProcessResult r = RunProgram("metaflac", args);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QString::fromUtf8(r.out);
}

class FlacCodecTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return dir.filePath(name); }

  QTemporaryDir dir;
  // 25 s and a part sector: three seek points, and a last frame the encoder must not pad.
  const QByteArray audio = SweepAudio(25 * kSecondFrames + 333);
};

TEST_F(FlacCodecTest, EveryLevelDecodesBitExactWithItsMd5) {
  struct Case {
    int level;
    int verify;
    uint32_t chunkBytes;  // 1,001 splits stereo frames between Writes
  } cases[] = {
      {0, 0, 27 * 2352}, {5, 1, 27 * 2352}, {8, 0, 1001}, {-3, 0, 27 * 2352}, {42, 1, 4096}};
  const QByteArray md5 = QCryptographicHash::hash(audio, QCryptographicHash::Md5).toHex();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    const QString path = PathOf(QStringLiteral("level%1.flac").arg(c.level));
    FlacEncoder codec(Flac(c.level, c.verify));
    ASSERT_TRUE(EncodeAsRip(codec, path, audio, nullptr, c.chunkBytes))
        << codec.ErrorText().toStdString();
    const ProcessResult test = RunProgram("flac", {"-t", "-s", path});
    EXPECT_EQ(test.exitCode, 0) << test.err.toStdString();
    EXPECT_TRUE(FlacDecode(path) == audio);
    EXPECT_EQ(Metaflac({"--show-md5sum", path}).trimmed(), QString::fromLatin1(md5));
    EXPECT_EQ(Metaflac({"--show-total-samples", path}).trimmed().toLongLong(), audio.size() / 4);
  }
}

TEST_F(FlacCodecTest, HigherLevelsMakeSmallerFiles) {
  FlacEncoder fast(Flac(0)), best(Flac(8));
  ASSERT_TRUE(EncodeAsRip(fast, PathOf("fast.flac"), audio));
  ASSERT_TRUE(EncodeAsRip(best, PathOf("best.flac"), audio));
  EXPECT_LT(QFileInfo(PathOf("best.flac")).size(), QFileInfo(PathOf("fast.flac")).size());
}

TEST_F(FlacCodecTest, SeekTableHasAPointEveryTenSecondsAndPaddingFollows) {
  const QString path = PathOf("seek.flac");
  FlacEncoder codec(Flac(5));
  ASSERT_TRUE(EncodeAsRip(codec, path, audio));
  const QString seekTable = Metaflac({"--list", "--block-type=SEEKTABLE", path});
  EXPECT_TRUE(seekTable.contains("seek points: 3")) << seekTable.toStdString();
  // Each point names the frame that holds its ten-second mark.
  const QRegularExpression point("point (\\d+): sample_number=(\\d+), stream_offset=(\\d+)");
  int points = 0;
  for (auto match = point.globalMatch(seekTable); match.hasNext(); ++points) {
    const QRegularExpressionMatch m = match.next();
    const qint64 mark = m.captured(1).toLongLong() * 10 * kSecondFrames;
    EXPECT_LE(m.captured(2).toLongLong(), mark);
    EXPECT_GT(m.captured(2).toLongLong(), mark - 4608);  // within one block of level 5
    EXPECT_TRUE(m.captured(1) == "0" || m.captured(3).toLongLong() > 0);
  }
  EXPECT_EQ(points, 3);
  const QString padding = Metaflac({"--list", "--block-type=PADDING", path});
  EXPECT_TRUE(padding.contains(QStringLiteral("length: %1").arg(FlacEncoder::kPaddingBytes)))
      << padding.toStdString();
}

TEST_F(FlacCodecTest, CommentsCarryTheTagsInFullUnicode) {
  const QString path = PathOf("tagged.flac");
  const TagRecord tags = UnicodeTags();
  FlacEncoder codec(Flac(5));
  ASSERT_TRUE(EncodeAsRip(codec, path, audio, &tags));
  const QStringList comments =
      Metaflac({"--export-tags-to=-", path}).split('\n', Qt::SkipEmptyParts);
  const QStringList expected = {"TITLE=" + tags.Wide(TagRecord::Title),
                                "ARTIST=" + tags.Wide(TagRecord::Artist),
                                "ALBUM=" + tags.Wide(TagRecord::Album),
                                "DATE=1999",
                                "GENRE=Blues",
                                "TRACKNUMBER=3",
                                "COMMENT=A comment",
                                "TRACKTOTAL=12"};
  EXPECT_EQ(comments, expected);
  EXPECT_TRUE(FlacDecode(path) == audio);
}

// The album artist, the set place and the MusicBrainz ids follow the texts; the cover is a
// front-cover PICTURE block, not a comment.
TEST_F(FlacCodecTest, ReleaseDetailsAreCommentsAndTheCoverAPictureBlock) {
  const QString path = PathOf("release.flac");
  TagRecord tags;
  tags.wide[TagRecord::Title] = "Song";
  tags.wide[TagRecord::AlbumArtist] = "Band";
  tags.discNumber = 2;
  tags.discTotal = 3;
  tags.musicBrainz.albumId = "album-id";
  tags.musicBrainz.recordingId = "recording-id";
  tags.cover = {QByteArray("\x89PNG\r\n\x1A\n") + QByteArray(100, 'p'), "png"};
  FlacEncoder codec(Flac(5));
  ASSERT_TRUE(EncodeAsRip(codec, path, audio, &tags));
  EXPECT_EQ(
      Metaflac({"--export-tags-to=-", path}).split('\n', Qt::SkipEmptyParts),
      (QStringList{"TITLE=Song", "ALBUMARTIST=Band", "TRACKTOTAL=12", "DISCNUMBER=2", "DISCTOTAL=3",
                   "MUSICBRAINZ_ALBUMID=album-id", "MUSICBRAINZ_TRACKID=recording-id"}));
  const QString picture = PathOf("picture.png");
  Metaflac({"--export-picture-to=" + picture, path});
  EXPECT_EQ(ReadFileBytes(picture), tags.cover.bytes);
  const QString blocks = Metaflac({"--list", "--block-type=PICTURE", path});
  EXPECT_TRUE(blocks.contains("type: 3 (Cover (front))")) << blocks.toStdString();
  EXPECT_TRUE(FlacDecode(path) == audio);
}

TEST_F(FlacCodecTest, UnknownFieldsAreLeftOut) {
  const QString path = PathOf("sparse.flac");
  TagRecord tags;
  tags.wide[TagRecord::Title] = "Only a title";
  tags.wide[TagRecord::TrackNumber] = "1";
  tags.wide[TagRecord::Genre] = "  ";
  FlacEncoder codec(Flac(5));
  ASSERT_TRUE(EncodeAsRip(codec, path, audio, &tags));
  EXPECT_EQ(Metaflac({"--export-tags-to=-", path}).split('\n', Qt::SkipEmptyParts),
            (QStringList{"TITLE=Only a title", "TRACKNUMBER=1", "TRACKTOTAL=12"}));
}

}  // namespace
