#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>
#include <sys/resource.h>

#include "encoders/encoder_factory.h"
#include "encoders/output_format.h"
#include "encoders/wav_encoder.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

constexpr uint32_t kSector = AudioEncoder::kSectorBytes;
constexpr uint32_t kChunkSectors = 27;

// The audio ffmpeg decodes from a file, as 16-bit little-endian stereo.
QByteArray DecodeWithFfmpeg(const QString& path) {
  const ProcessResult r = RunProgram("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-acodec",
                                                "pcm_s16le", "-ac", "2", "-ar", "44100", "-"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out;
}

QString ProbeStream(const QString& path) {
  const ProcessResult r = RunProgram(
      "ffprobe", {"-v", "error", "-show_entries", "stream=codec_name,channels,sample_rate,bits_per_sample",
                  "-of", "compact=p=0:nk=1", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QString::fromUtf8(r.out).trimmed();
}

uint32_t U32At(const QByteArray& bytes, int offset) {
  return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

class WavEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = disc.Insert();
    ASSERT_NE(device, nullptr);
    encoder = CreateEncoder(EncoderType::Wav, device);
    ASSERT_NE(encoder, nullptr);
  }
  QString PathOf(const QString& name) const { return dir.filePath(name); }

  // Opens track index to path and writes audio in chunks of up to 27 sectors.
  bool RipAudio(int index, const QString& path, const QByteArray& audio) {
    encoder->SetTrack(index, path, 0, 0);
    if (!encoder->Open()) return false;
    const qsizetype chunk = kChunkSectors * kSector;
    for (qsizetype at = 0; at < audio.size(); at += chunk) {
      const qsizetype n = std::min(chunk, audio.size() - at);
      if (!encoder->Write(audio.constData() + at, uint32_t(n), 0)) return false;
    }
    return true;
  }

  TempConfig config;
  QTemporaryDir dir;
  // 225 sectors (8 full chunks and 9 sectors), 27 x 4 + 1 sectors, and 27 x 3 sectors.
  TestDisc disc{{{225}, {109}, {81}}};
  CdDevice* device = nullptr;
  AudioEncoder* encoder = nullptr;
};

TEST_F(WavEncoderTest, HeaderOfAThreeSecondTrack) {
  const QByteArray header = WavEncoder::Header(225 * kSector);
  ASSERT_EQ(header.size(), 44);
  EXPECT_EQ(header.left(4), "RIFF");
  EXPECT_EQ(U32At(header, 4), 529236u);
  EXPECT_EQ(header.mid(8, 8), "WAVEfmt ");
  EXPECT_EQ(U32At(header, 16), 16u);
  EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + 20), 1);
  EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + 22), 2);
  EXPECT_EQ(U32At(header, 24), 44100u);
  EXPECT_EQ(U32At(header, 28), 176400u);
  EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + 32), 4);
  EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + 34), 16);
  EXPECT_EQ(header.mid(36, 4), "data");
  EXPECT_EQ(U32At(header, 40), 529200u);
}

TEST_F(WavEncoderTest, TracksDecodeBitExactWithFfmpeg) {
  for (int index : {0, 1, 2}) {
    SCOPED_TRACE(index);
    const QByteArray audio = disc.TrackAudio(index);
    const QString path = PathOf(QStringLiteral("track%1.wav").arg(index));
    ASSERT_TRUE(RipAudio(index, path, audio));
    EXPECT_TRUE(encoder->Close());

    const QByteArray file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 44 + audio.size());
    EXPECT_EQ(file.left(44), WavEncoder::Header(uint32_t(audio.size())));
    EXPECT_EQ(ProbeStream(path), "pcm_s16le|44100|2|16");
    EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);
  }
}

TEST_F(WavEncoderTest, PreparationPassIsRefusedAndWritesNothing) {
  const QString path = PathOf("prepass.wav");
  encoder->SetTrack(0, path, 0, 0);
  ASSERT_TRUE(encoder->Open());
  const QByteArray audio = disc.TrackAudio(0).left(27 * kSector);
  EXPECT_EQ(encoder->Write(audio.constData(), uint32_t(audio.size()), 1), 0);
  EXPECT_EQ(QFileInfo(path).size(), 44);
  EXPECT_TRUE(encoder->Write(audio.constData(), uint32_t(audio.size()), 0));
  EXPECT_TRUE(encoder->Close());
}

TEST_F(WavEncoderTest, FailedOpenLeavesNoFileAndLaterCallsAreHarmless) {
  const struct {
    const char* name;
    int track;
    QString path;
  } cases[] = {
      {"folder missing", 0, PathOf("missing/dir/x.wav")},
      {"track not on the disc", 7, PathOf("absent.wav")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    encoder->SetTrack(c.track, c.path, 0, 0);
    EXPECT_EQ(encoder->Open(), 0);
    EXPECT_FALSE(QFileInfo::exists(c.path));
    EXPECT_EQ(encoder->Write("abcd", 4, 0), 0);
    EXPECT_EQ(encoder->Close(), 1);
    EXPECT_FALSE(QFileInfo::exists(c.path));
  }
  // An encoder with no disc at all cannot size the file either.
  AudioEncoder* noDisc = CreateEncoder(EncoderType::Wav, nullptr);
  noDisc->SetTrack(0, PathOf("nodisc.wav"), 0, 0);
  EXPECT_EQ(noDisc->Open(), 0);
  EXPECT_FALSE(QFileInfo::exists(PathOf("nodisc.wav")));
}

TEST_F(WavEncoderTest, ShortTrackGetsAHeaderForWhatWasWritten) {
  const QString path = PathOf("short.wav");
  const QByteArray audio = disc.TrackAudio(0).left(100 * kSector);  // of 225
  ASSERT_TRUE(RipAudio(0, path, audio));
  EXPECT_TRUE(encoder->Close());
  const QByteArray file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 44 + audio.size());
  EXPECT_EQ(file.left(44), WavEncoder::Header(uint32_t(audio.size())));
  EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);
}

TEST_F(WavEncoderTest, WriteFailureIsReportedAndTheFileStaysValid) {
  const QString path = PathOf("full.wav");
  const QByteArray audio = disc.TrackAudio(0);
  // The file system refuses to grow the file past 10 sectors of audio.
  const rlim_t limit = 44 + 10 * kSector;
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small{limit, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ripped = RipAudio(0, path, audio);
  const int closed = encoder->Close();
  setrlimit(RLIMIT_FSIZE, &old);

  EXPECT_FALSE(ripped);
  EXPECT_EQ(closed, 0);
  const QByteArray file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), qsizetype(limit));
  EXPECT_EQ(U32At(file, 40), limit - 44);
  EXPECT_EQ(U32At(file, 4), limit - 8);
  EXPECT_TRUE(DecodeWithFfmpeg(path) == audio.left(qsizetype(limit - 44)));
}

TEST_F(WavEncoderTest, OneEncoderWritesTrackAfterTrack) {
  const QByteArray part = disc.TrackAudio(0).left(100 * kSector);
  ASSERT_TRUE(RipAudio(0, PathOf("a.wav"), part));
  // A new Open without a Close in between still finishes the first file and its header.
  ASSERT_TRUE(RipAudio(1, PathOf("b.wav"), disc.TrackAudio(1)));
  EXPECT_TRUE(encoder->Close());
  EXPECT_TRUE(DecodeWithFfmpeg(PathOf("b.wav")) == disc.TrackAudio(1));
  EXPECT_EQ(ReadFileBytes(PathOf("a.wav")).left(44), WavEncoder::Header(uint32_t(part.size())));
  EXPECT_TRUE(DecodeWithFfmpeg(PathOf("a.wav")) == part);
}

}  // namespace
