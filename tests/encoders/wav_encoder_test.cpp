#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "encoders/output_format.h"
#include "encoders/wav_encoder.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kSector = kCdSectorBytes;
constexpr uint32_t kChunkSectors = 27;

// The audio ffmpeg decodes from a file, as 16-bit little-endian stereo.
QByteArray DecodeWithFfmpeg(const QString& path) {
  const ProcessResult r = RunProgram("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-acodec",
                                                "pcm_s16le", "-ac", "2", "-ar", "44100", "-"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out;
}

QString ProbeStream(const QString& path) {
  const ProcessResult r =
      RunProgram("ffprobe", {"-v", "error", "-show_entries",
                             "stream=codec_name,channels,sample_rate,bits_per_sample", "-of",
                             "compact=p=0:nk=1", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QString::fromUtf8(r.out).trimmed();
}

uint32_t U32At(const QByteArray& bytes, int offset) {
  return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

// PCM like a track's: every sample value occurs, no two sectors alike.
QByteArray TestPcm(uint32_t sectors, int seed) {
  QByteArray pcm(qsizetype(sectors * kSector), '\0');
  for (qsizetype i = 0; i < pcm.size(); ++i) pcm[i] = char((i * 7 + i / 2048 + seed) % 256);
  return pcm;
}

// The WAV codec alone: PCM from memory, no drive.
class WavEncoderTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return dir.filePath(name); }

  // Opens path for a track of sectorCount sectors and writes pcm in chunks of up to 27 sectors.
  bool Encode(const QString& path, uint32_t sectorCount, const QByteArray& pcm) {
    if (!encoder.Open(path, TrackFacts{0, 1, sectorCount}, nullptr)) return false;
    const qsizetype chunk = kChunkSectors * kSector;
    for (qsizetype at = 0; at < pcm.size(); at += chunk) {
      const qsizetype n = std::min(chunk, pcm.size() - at);
      if (!encoder.Write(pcm.constData() + at, uint32_t(n), 0)) return false;
    }
    return true;
  }

  QTemporaryDir dir;
  WavEncoder encoder;
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
  // 225 sectors (8 full chunks and 9 sectors), 27 x 4 + 1 sectors, and 27 x 3 sectors.
  for (uint32_t sectors : {225u, 109u, 81u}) {
    SCOPED_TRACE(sectors);
    const QByteArray audio = TestPcm(sectors, int(sectors));
    const QString path = PathOf(QStringLiteral("track%1.wav").arg(sectors));
    ASSERT_TRUE(Encode(path, sectors, audio));
    EXPECT_TRUE(encoder.Close());
    EXPECT_TRUE(encoder.ErrorText().isEmpty());

    const QByteArray file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 44 + audio.size());
    EXPECT_EQ(file.left(44), WavEncoder::Header(uint32_t(audio.size())));
    EXPECT_EQ(ProbeStream(path), "pcm_s16le|44100|2|16");
    EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);
  }
}

TEST_F(WavEncoderTest, PreparationPassIsRefusedAndWritesNothing) {
  const QString path = PathOf("prepass.wav");
  EXPECT_FALSE(encoder.NeedsPreparationPass());
  ASSERT_TRUE(encoder.Open(path, TrackFacts{0, 1, 27}, nullptr));
  const QByteArray audio = TestPcm(27, 1);
  EXPECT_EQ(encoder.Write(audio.constData(), uint32_t(audio.size()), 1), 0);
  EXPECT_EQ(QFileInfo(path).size(), 44);
  EXPECT_TRUE(encoder.Write(audio.constData(), uint32_t(audio.size()), 0));
  EXPECT_TRUE(encoder.Close());
  EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);
}

TEST_F(WavEncoderTest, FailedOpenLeavesNoFileSaysWhyAndLaterCallsAreHarmless) {
  const struct {
    const char* name;
    QString path;
    const char* reason;
  } cases[] = {
      {"folder missing", PathOf("missing/dir/x.wav"), "No such file or directory"},
      {"a full device", QStringLiteral("/dev/full"), "No space left on device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encoder.Open(c.path, TrackFacts{0, 1, 10}, nullptr), 0);
    EXPECT_TRUE(encoder.ErrorText().contains(QLatin1String(c.reason)))
        << encoder.ErrorText().toStdString();
    EXPECT_EQ(encoder.Write("abcd", 4, 0), 0);
    EXPECT_EQ(encoder.Close(), 1);
  }
  EXPECT_FALSE(QFileInfo::exists(PathOf("missing")));
  EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/full")).exists()) << "a device is never removed";
}

TEST_F(WavEncoderTest, ShortTrackGetsAHeaderForWhatWasWritten) {
  const QString path = PathOf("short.wav");
  const QByteArray audio = TestPcm(100, 3);  // of 225
  ASSERT_TRUE(Encode(path, 225, audio));
  EXPECT_TRUE(encoder.Close());
  const QByteArray file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 44 + audio.size());
  EXPECT_EQ(file.left(44), WavEncoder::Header(uint32_t(audio.size())));
  EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);
}

TEST_F(WavEncoderTest, WriteFailureIsReportedWithTheSystemsReasonAndTheFileStaysValid) {
  const QString path = PathOf("full.wav");
  const QByteArray audio = TestPcm(225, 4);
  // The file system refuses to grow the file past 10 sectors of audio.
  const rlim_t limit = 44 + 10 * kSector;
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small{limit, old.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool encoded = Encode(path, 225, audio);
  const int closed = encoder.Close();
  setrlimit(RLIMIT_FSIZE, &old);

  EXPECT_FALSE(encoded);
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(encoder.ErrorText(), QString::fromLocal8Bit(strerror(EFBIG)));
  const QByteArray file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), qsizetype(limit));
  EXPECT_EQ(U32At(file, 40), limit - 44);
  EXPECT_EQ(U32At(file, 4), limit - 8);
  EXPECT_TRUE(DecodeWithFfmpeg(path) == audio.left(qsizetype(limit - 44)));
}

TEST_F(WavEncoderTest, TheFormatMakesANewCodecForEveryRun) {
  TempConfig config;
  const std::unique_ptr<OutputFormat> format = CreateOutputFormat(FormatId::Wav);
  std::unique_ptr<AudioEncoder> first = format->CreateEncoder();
  std::unique_ptr<AudioEncoder> second = format->CreateEncoder();
  ASSERT_NE(dynamic_cast<WavEncoder*>(first.get()), nullptr);
  ASSERT_NE(dynamic_cast<WavEncoder*>(second.get()), nullptr);
  EXPECT_NE(first.get(), second.get());
  // Two runs at once do not share state: each file gets its own header and audio.
  const QByteArray a = TestPcm(30, 5), b = TestPcm(54, 6);
  ASSERT_TRUE(first->Open(PathOf("a.wav"), TrackFacts{0, 2, 30}, nullptr));
  ASSERT_TRUE(second->Open(PathOf("b.wav"), TrackFacts{1, 2, 54}, nullptr));
  EXPECT_TRUE(first->Write(a.constData(), uint32_t(a.size()), 0));
  EXPECT_TRUE(second->Write(b.constData(), uint32_t(b.size()), 0));
  EXPECT_TRUE(second->Close());
  EXPECT_TRUE(first->Close());
  EXPECT_TRUE(DecodeWithFfmpeg(PathOf("a.wav")) == a);
  EXPECT_TRUE(DecodeWithFfmpeg(PathOf("b.wav")) == b);
}

}  // namespace
