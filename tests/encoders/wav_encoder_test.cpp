#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>
#include <map>
#include <sys/resource.h>

#include "encoders/encoder_factory.h"
#include "encoders/output_format.h"
#include "encoders/track_source.h"
#include "encoders/wav_encoder.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kSector = AudioEncoder::kSectorBytes;
constexpr uint32_t kChunkSectors = 27;

// A disc of fixed track bounds.
struct TableTracks : TrackSource {
  std::map<int, std::pair<uint32_t, uint32_t>> tracks;
  bool TrackBounds(int index, uint32_t& first, uint32_t& last) override {
    auto it = tracks.find(index);
    if (it == tracks.end()) return false;
    first = it->second.first;
    last = it->second.second;
    return true;
  }
};

// Stereo audio that uses the whole sample range: a noise channel and a ramp channel that
// passes through -32768 and 32767.
QByteArray TestAudio(uint32_t sectors) {
  QByteArray pcm(qsizetype(sectors) * kSector, Qt::Uninitialized);
  uint32_t noise = 12345;
  for (qsizetype frame = 0; frame < pcm.size() / 4; ++frame) {
    noise = noise * 1664525u + 1013904223u;
    qToLittleEndian<qint16>(qint16(noise >> 16), pcm.data() + frame * 4);
    qToLittleEndian<qint16>(qint16(uint16_t(frame * 97)), pcm.data() + frame * 4 + 2);
  }
  return pcm;
}

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
    disc.tracks = {{0, {0, 224}}, {1, {225, 225 + 27 * 4}}, {2, {334, 334 + 27 * 3 - 1}}};
    encoder = CreateEncoder(EncoderType::Wav, &disc);
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

  QTemporaryDir dir;
  TableTracks disc;
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
  // 225 sectors (8 full chunks and 9 sectors), 27*4+1 sectors, and a multiple of 27.
  for (int index : {0, 1, 2}) {
    SCOPED_TRACE(index);
    uint32_t first = 0, last = 0;
    disc.TrackBounds(index, first, last);
    const QByteArray audio = TestAudio(last - first + 1);
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
  const QByteArray audio = TestAudio(27);
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
  const QByteArray audio = TestAudio(100);  // track 0 has 225 sectors
  ASSERT_TRUE(RipAudio(0, path, audio));
  EXPECT_TRUE(encoder->Close());
  const QByteArray file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 44 + audio.size());
  EXPECT_EQ(file.left(44), WavEncoder::Header(uint32_t(audio.size())));
  EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);
}

TEST_F(WavEncoderTest, WriteFailureIsReportedAndTheFileStaysValid) {
  const QString path = PathOf("full.wav");
  const QByteArray audio = TestAudio(225);
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
  const QByteArray audio = TestAudio(225);
  ASSERT_TRUE(RipAudio(0, PathOf("a.wav"), audio));
  // A new Open without a Close in between still finishes the first file's bytes.
  ASSERT_TRUE(RipAudio(0, PathOf("b.wav"), audio));
  EXPECT_TRUE(encoder->Close());
  EXPECT_TRUE(DecodeWithFfmpeg(PathOf("b.wav")) == audio);
  EXPECT_EQ(ReadFileBytes(PathOf("a.wav")).size(), 44 + audio.size());
}

}  // namespace
