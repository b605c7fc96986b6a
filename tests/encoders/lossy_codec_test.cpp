#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <functional>
#include <memory>

#include "encoders/aac_encoder.h"
#include "encoders/id3v1_tag.h"
#include "encoders/lossy_audio.h"
#include "encoders/mp3_encoder.h"
#include "encoders/ogg_encoder.h"
#include "encoders/tag_record.h"
#include "settings/ini_file.h"
#include "support/test_support.h"

namespace {

constexpr uint32_t kChunkBytes = 27 * kCdSectorBytes;  // one chunk of a rip
constexpr int kSectorFrames = 588;

using MakeCodec = std::function<std::unique_ptr<AudioEncoder>()>;

Mp3Settings Mp3(int minRate, int maxRate, int mode = Mp3Settings::Stereo) {
  Mp3Settings s;
  s.minBitRate = minRate;
  s.maxBitRate = maxRate;
  s.stereoMode = mode;
  return s;
}

OggSettings Ogg(int vbr, int fquality = 5, int rate = 256) {
  OggSettings s;
  s.vbr = vbr;
  s.fquality = fquality;
  s.minBitRate = s.nomBitRate = s.maxBitRate = rate;
  return s;
}

AacSettings Aac(int fquality, int mpegVersion) {
  AacSettings s;
  s.fquality = fquality;
  s.mpegVersion = mpegVersion;
  return s;
}

template <class Codec, class Settings>
MakeCodec Maker(Settings settings) {
  return [settings] { return std::make_unique<Codec>(settings); };
}

// One codec of each format with its default settings.
std::vector<MakeCodec> DefaultCodecs() {
  return {Maker<Mp3Encoder>(Mp3Settings{}), Maker<OggEncoder>(OggSettings{}),
          Maker<AacEncoder>(AacSettings{})};
}

TagRecord SampleTags() {
  TagRecord tags;
  const QString texts[TagRecord::SlotCount] = {
      QString::fromUtf8("Ünïcødé title beyond thirty-two bytes 日本"),
      "The Artist",
      "An Album",
      "1999",
      "Blues",
      "A comment of exactly forty characters!!!",
      "3"};
  for (int slot = 0; slot < TagRecord::SlotCount; ++slot) {
    const QByteArray narrow = texts[slot].toLatin1();
    std::copy(narrow.begin(), narrow.end(), tags.texts[slot].begin());
    tags.wide[slot] = texts[slot];
  }
  return tags;
}

class LossyCodecTest : public ::testing::Test {
 protected:
  QString PathOf(const QString& name) const { return dir.filePath(name); }

  // Encodes audio the way a rip feeds it: chunks of 27 sectors, the last one shorter.
  bool Encode(AudioEncoder& codec, const QString& path, const QByteArray& audio,
              const TagRecord* tags = nullptr, uint32_t chunkBytes = kChunkBytes) {
    TrackFacts facts;
    facts.trackIndex = 2;
    facts.trackCount = 12;
    facts.sectorCount = uint32_t(audio.size() / kCdSectorBytes);
    if (!codec.Open(path, facts, tags)) return false;
    for (qsizetype at = 0; at < audio.size(); at += chunkBytes) {
      const qsizetype n = std::min<qsizetype>(chunkBytes, audio.size() - at);
      if (!codec.Write(audio.constData() + at, uint32_t(n), 0)) return false;
    }
    return codec.Close() != 0;
  }

  QTemporaryDir dir;
  const QByteArray audio = SweepAudio(157 * kSectorFrames);  // 2.1 s, five chunks and a part
};

struct DecodeCase {
  const char* name;
  MakeCodec make;
  int expectedLag;  // decoded frames before the source's first frame
  int extraFrames;  // decoded frames beyond the source allowed at the end
  int channel;      // 2 for a mono file: the mean of both channels
};

TEST_F(LossyCodecTest, FilesDecodeToTheSourceAudioAndLength) {
  const DecodeCase cases[] = {
      {"mp3 cbr", Maker<Mp3Encoder>(Mp3(256, 256)), 0, 0, 0},
      {"mp3 vbr", Maker<Mp3Encoder>(Mp3(128, 320)), 0, 0, 0},
      {"mp3 joint", Maker<Mp3Encoder>(Mp3(192, 192, Mp3Settings::JointStereo)), 0, 0, 0},
      {"mp3 dual", Maker<Mp3Encoder>(Mp3(256, 256, Mp3Settings::DualChannel)), 0, 0, 0},
      {"mp3 mono", Maker<Mp3Encoder>(Mp3(128, 128, Mp3Settings::Mono)), 0, 0, 2},
      {"ogg managed", Maker<OggEncoder>(Ogg(0)), 0, 0, 0},
      {"ogg quality", Maker<OggEncoder>(Ogg(1, 3)), 0, 0, 0},
      {"aac mpeg-2", Maker<AacEncoder>(Aac(3, 1)), 1024, 1024, 0},
      {"aac mpeg-4", Maker<AacEncoder>(Aac(6, 0)), 1024, 1024, 0},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = PathOf(QString::fromLatin1(c.name).replace(' ', '_'));
    auto codec = c.make();
    ASSERT_TRUE(Encode(*codec, path, audio)) << codec->ErrorText().toStdString();
    const QByteArray decoded = DecodeToPcm(path);
    const int sourceFrames = int(audio.size() / 4);
    const int decodedFrames = int(decoded.size() / 4);
    EXPECT_GE(decodedFrames, sourceFrames + c.expectedLag);
    EXPECT_LE(decodedFrames, sourceFrames + c.expectedLag + c.extraFrames);
    EXPECT_EQ(BestLag(audio, decoded, 2500), c.expectedLag);
    EXPECT_GT(Correlation(audio, decoded, c.expectedLag, c.channel), 0.95);
    if (c.channel != 2) {
      EXPECT_GT(Correlation(audio, decoded, c.expectedLag, 1), 0.95);
    }
  }
}

QByteArray FileTail(const QString& path, int bytes) { return ReadFileBytes(path).right(bytes); }

TEST_F(LossyCodecTest, Mp3CarriesId3v2InFullAndId3v1CutToItsFields) {
  const TagRecord tags = SampleTags();
  const QString path = PathOf("tagged.mp3");
  Mp3Encoder codec(Mp3(256, 256));
  ASSERT_TRUE(Encode(codec, path, audio, &tags));

  EXPECT_TRUE(ReadFileBytes(path).startsWith("ID3\x04"));
  const QMap<QString, QString> probed = ProbeTags(path);
  EXPECT_EQ(probed["title"], tags.Wide(TagRecord::Title));
  EXPECT_EQ(probed["artist"], "The Artist");
  EXPECT_EQ(probed["album"], "An Album");
  EXPECT_EQ(probed["date"], "1999");
  EXPECT_EQ(probed["track"], "3/12");
  EXPECT_EQ(probed["genre"], "Blues");
  EXPECT_EQ(probed["comment"], tags.Wide(TagRecord::Comment));

  const QByteArray id3v1 = FileTail(path, Id3v1::kTagBytes);
  EXPECT_EQ(id3v1, Id3v1::Tag(tags, 2));
  EXPECT_EQ(id3v1.mid(97, 28), QByteArray("A comment of exactly forty c"));
  EXPECT_EQ(id3v1[125], '\0');
  EXPECT_EQ(id3v1[126], '\3');
  EXPECT_EQ(uint8_t(id3v1[127]), 0);  // blues
}

TEST_F(LossyCodecTest, OggCarriesTheSevenCommentsInUtf8) {
  const TagRecord tags = SampleTags();
  const QString path = PathOf("tagged.ogg");
  OggEncoder codec(Ogg(0));
  ASSERT_TRUE(Encode(codec, path, audio, &tags));
  const QMap<QString, QString> probed = ProbeTags(path);
  EXPECT_EQ(probed["title"], tags.Wide(TagRecord::Title));
  EXPECT_EQ(probed["artist"], "The Artist");
  EXPECT_EQ(probed["album"], "An Album");
  EXPECT_EQ(probed["date"], "1999");
  EXPECT_EQ(probed["track"], "3");
  EXPECT_EQ(probed["genre"], "Blues");
  EXPECT_EQ(probed["comment"], tags.Wide(TagRecord::Comment));
  // In the order of the comment header: track number first, comment last.
  const QByteArray file = ReadFileBytes(path);
  EXPECT_LT(file.indexOf("TRACKNUMBER=3"), file.indexOf("title="));
  EXPECT_LT(file.indexOf("genre="), file.indexOf("comment="));
}

TEST_F(LossyCodecTest, AacEndsWithTheId3v1Tag) {
  const TagRecord tags = SampleTags();
  const QString path = PathOf("tagged.aac");
  AacEncoder codec(Aac(3, 1));
  ASSERT_TRUE(Encode(codec, path, audio, &tags));
  EXPECT_EQ(FileTail(path, Id3v1::kTagBytes), Id3v1::Tag(tags, 2));
  const QMap<QString, QString> probed = ProbeTags(path);
  EXPECT_EQ(probed["artist"], "The Artist");
  EXPECT_EQ(probed["album"], "An Album");
}

TEST_F(LossyCodecTest, NoTagsWithoutDiscInformation) {
  {
    Mp3Encoder codec(Mp3(256, 256));
    ASSERT_TRUE(Encode(codec, PathOf("plain.mp3"), audio));
    const QByteArray file = ReadFileBytes(PathOf("plain.mp3"));
    EXPECT_FALSE(file.startsWith("ID3"));
    EXPECT_FALSE(file.right(Id3v1::kTagBytes).startsWith("TAG"));
  }
  {
    AacEncoder codec(Aac(3, 1));
    ASSERT_TRUE(Encode(codec, PathOf("plain.aac"), audio));
    EXPECT_FALSE(FileTail(PathOf("plain.aac"), Id3v1::kTagBytes).startsWith("TAG"));
  }
  {
    OggEncoder codec(Ogg(0));
    ASSERT_TRUE(Encode(codec, PathOf("plain.ogg"), audio));
    EXPECT_FALSE(ProbeTags(PathOf("plain.ogg")).contains("title"));
    // The comment packet: its vendor string and a count of zero comments.
    const QByteArray file = ReadFileBytes(PathOf("plain.ogg"));
    const qsizetype at = file.indexOf("\x03vorbis");
    ASSERT_GE(at, 0);
    const uint32_t vendorLength = qFromLittleEndian<quint32>(file.constData() + at + 7);
    EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + at + 11 + vendorLength), 0u);
  }
}

// The ID bit of every ADTS header (byte 1, bit 3): 1 for MPEG-2, 0 for MPEG-4.
TEST_F(LossyCodecTest, AdtsIdBitFollowsTheMpegVersion) {
  for (int version : {0, 1}) {
    SCOPED_TRACE(version);
    const QString path = PathOf(QStringLiteral("v%1.aac").arg(version));
    AacEncoder codec(Aac(3, version));
    ASSERT_TRUE(Encode(codec, path, audio));
    const QByteArray file = ReadFileBytes(path);
    int frames = 0;
    for (qsizetype at = 0; at + 7 <= file.size(); ++frames) {
      const auto* h = reinterpret_cast<const uint8_t*>(file.constData() + at);
      ASSERT_EQ(h[0], 0xFF);
      ASSERT_EQ(h[1] & 0xF0, 0xF0);
      ASSERT_EQ((h[1] >> 3) & 1, version);
      EXPECT_EQ((h[2] >> 6) + 1, 1);  // the object type: AAC Main
      at += ((h[3] & 0x03) << 11) | (h[4] << 3) | (h[5] >> 5);
    }
    EXPECT_GT(frames, int(audio.size() / 4 / 1024));
  }
}

// Without the LAME frame filled in, a variable-bit-rate file's length is guessed from its
// first frame's bit rate.
TEST_F(LossyCodecTest, VbrMp3LameFrameGivesTheRightLength) {
  const QString path = PathOf("vbr.mp3");
  Mp3Encoder codec(Mp3(32, 320));
  ASSERT_TRUE(Encode(codec, path, audio));
  const QByteArray file = ReadFileBytes(path);
  const qsizetype xing = file.indexOf("Xing");
  ASSERT_GE(xing, 0);
  ASSERT_LT(xing, 64);
  const uint32_t frames = qFromBigEndian<quint32>(file.constData() + xing + 8);
  const double seconds = audio.size() / 4 / 44100.0;
  // The frames hold the track, the encoder's delay and the last frame's padding: at most two
  // frames more. (A decoder trims both with the delays the frame also states; the decoding
  // test checks that.)
  const double framesSeconds = frames * 1152 / 44100.0;
  EXPECT_GE(framesSeconds, seconds);
  EXPECT_LE(framesSeconds, seconds + 2 * 1152 / 44100.0);
  EXPECT_NEAR(ProbeDuration(path), framesSeconds, 0.001);
}

uint32_t OggSerial(const QString& path) {
  const QByteArray file = ReadFileBytes(path);
  return file.startsWith("OggS") ? qFromLittleEndian<quint32>(file.constData() + 14) : 0;
}

TEST_F(LossyCodecTest, TwoOggRipsOfATrackHaveDifferentSerialsAndCheckClean) {
  OggEncoder codec(Ogg(1));
  const TagRecord tags = SampleTags();
  ASSERT_TRUE(Encode(codec, PathOf("first.ogg"), audio, &tags));
  ASSERT_TRUE(Encode(codec, PathOf("second.ogg"), audio, &tags));
  EXPECT_NE(OggSerial(PathOf("first.ogg")), OggSerial(PathOf("second.ogg")));
  for (const char* name : {"first.ogg", "second.ogg"}) {
    const ProcessResult r = RunProgram("ogginfo", {PathOf(name)});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("WARNING") || r.out.contains("Warning")) << r.out.toStdString();
  }
}

TEST(Id3v1Genre, MatchesTheWholeNameIgnoringCase) {
  const struct {
    const char* genre;
    int number;
  } cases[] = {
      {"blues", 0},        {"Rock", 17},      {"Jazz", 8},       {"acid", 34},
      {"", 255},           {"Polka", 75},     {"trip-hop", 27},  {"VOCAL", 28},
      {"Bossa Nova", 255}, {"Simphony", 106}, {"R & B", 14},     {"Classical", 32},
      {"Roc", 255},        {"Rock ", 255},    {"Acid Jazz", 74}, {"Hard Rock", 79},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Id3v1::GenreNumber(c.genre), c.number) << c.genre;
  }
}

TEST(Id3v1Tag, FieldsAreCutAtTheirSizes) {
  TagRecord tags;
  const QByteArray longText(40, 'x');
  for (int slot = 0; slot < TagRecord::SlotCount; ++slot) {
    std::copy(longText.begin(), longText.end(), tags.texts[slot].begin());
  }
  const QByteArray tag = Id3v1::Tag(tags, 11);
  ASSERT_EQ(tag.size(), 128);
  EXPECT_EQ(tag.left(3), "TAG");
  EXPECT_EQ(tag.mid(3, 30), QByteArray(30, 'x'));
  EXPECT_EQ(tag.mid(93, 4), "xxxx");
  EXPECT_EQ(tag.mid(97, 28), QByteArray(28, 'x'));
  EXPECT_EQ(tag[125], '\0');
  EXPECT_EQ(tag[126], char(12));
  EXPECT_EQ(uint8_t(tag[127]), 255);
}

TEST(Mp3MixDown, HalvesEachSideTowardZero) {
  const struct {
    int16_t left, right, mono;
  } cases[] = {{-3, 3, 0}, {3, 3, 2}, {-3, -3, -2}, {32767, 32767, 32766}, {-32768, -32768, -32768},
               {1, 0, 0},  {-1, 2, 1}};
  for (const auto& c : cases) {
    const int16_t stereo[2] = {c.left, c.right};
    int16_t mono = 99;
    Mp3Encoder::MixDown(stereo, 1, &mono);
    EXPECT_EQ(mono, c.mono) << c.left << " " << c.right;
  }
}

TEST(OggSettingsQuality, StepsAboveEightOrBelowZeroCountAsEight) {
  const struct {
    int step;
    float quality;
  } cases[] = {{0, 0.1f}, {5, 0.6f}, {8, 0.9f}, {9, 0.9f}, {12, 0.9f}, {-1, 0.9f}};
  for (const auto& c : cases) {
    OggSettings s;
    s.fquality = c.step;
    EXPECT_FLOAT_EQ(s.Quality(), c.quality) << c.step;
  }
}

TEST(AacSettingsSteps, BitRateBandwidthAndLabel) {
  const struct {
    int step, bitRate, bandwidth;
    const char* label;
  } cases[] = {{0, 62, 10000, "62 Kbps"},
               {3, 129, 16000, "129 Kbps"},
               {6, 218, 22000, "218 Kbps"},
               {7, 100, 16000, ""},
               {-1, 100, 16000, ""}};
  for (const auto& c : cases) {
    const AacSettings s = Aac(c.step, 1);
    EXPECT_EQ(s.BitRate(), c.bitRate) << c.step;
    EXPECT_EQ(s.Bandwidth(), c.bandwidth) << c.step;
    EXPECT_EQ(s.Label(), QString::fromLatin1(c.label)) << c.step;
  }
}

// The encoder asks for 1,024 frames a channel: 4,096 bytes a block.
TEST_F(LossyCodecTest, AacCarriesThePartOfAChunkThatFillsNoBlock) {
  AacEncoder codec(Aac(3, 1));
  ASSERT_TRUE(codec.Open(PathOf("carry.aac"), TrackFacts{}, nullptr));
  ASSERT_EQ(codec.BlockBytes(), 4096u);
  const struct {
    int64_t blocks;
    uint32_t carried;
  } expected[] = {{15, 2064}, {31, 32}, {46, 2096}};
  for (const auto& e : expected) {
    ASSERT_TRUE(codec.Write(audio.constData(), kChunkBytes, 0));
    EXPECT_EQ(codec.BlocksEncoded(), e.blocks);
    EXPECT_EQ(codec.CarriedBytes(), e.carried);
  }
  EXPECT_TRUE(codec.Close());
}

// Every frame given reaches the file and no more, whatever the Write sizes: a rip chunk (15 pieces
// of 4,096 bytes and one of 2,064), exact pieces, pieces and a remainder, a lone sector.
TEST_F(LossyCodecTest, OggEncodesEveryFrameOfEveryPieceSize) {
  const uint32_t writeSizes[] = {kChunkBytes, 4096, 4096 * 3 + 4, 2352, 4};
  for (uint32_t size : writeSizes) {
    SCOPED_TRACE(size);
    const QByteArray part = audio.left(size * 7);
    const QString path = PathOf(QStringLiteral("piece%1.ogg").arg(size));
    OggEncoder codec(Ogg(1));
    ASSERT_TRUE(Encode(codec, path, part, nullptr, size));
    // The reference decoder: it trims the end to the last page's granule position exactly,
    // which ffmpeg does not for a stream of one audio page.
    const ProcessResult decoded = RunProgram("oggdec", {"-Q", "-R", "-o", "-", path});
    ASSERT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.out.size(), part.size());
  }
}

TEST_F(LossyCodecTest, PreparationPassIsRefused) {
  for (const MakeCodec& make : DefaultCodecs()) {
    auto codec = make();
    EXPECT_FALSE(codec->NeedsPreparationPass());
    ASSERT_TRUE(codec->Open(PathOf("prepass"), TrackFacts{}, nullptr));
    EXPECT_EQ(codec->Write(audio.constData(), kChunkBytes, 1), 0);
    EXPECT_TRUE(codec->Write(audio.constData(), kChunkBytes, 0));
    EXPECT_TRUE(codec->Close());
  }
}

// Settings the libraries refuse, or a folder that does not exist: Open fails with a reason,
// leaves no file, and later calls are harmless.
TEST_F(LossyCodecTest, FailedOpenLeavesNoFileAndSaysWhy) {
  const struct {
    const char* name;
    MakeCodec make;
    QString path;
    const char* reason;
  } cases[] = {
      {"mp3 rate", Maker<Mp3Encoder>(Mp3(999, 999)), PathOf("a.mp3"), "999"},
      {"mp3 vbr rate", Maker<Mp3Encoder>(Mp3(100, 256)), PathOf("a.mp3"), "100 to 256"},
      {"mp3 vbr order", Maker<Mp3Encoder>(Mp3(320, 128)), PathOf("a.mp3"), "320 to 128"},
      {"ogg rates", Maker<OggEncoder>(Ogg(0, 5, 999)), PathOf("a.ogg"), "999"},
      {"mp3 folder", Maker<Mp3Encoder>(Mp3(256, 256)), PathOf("none/a.mp3"), "No such file"},
      {"ogg folder", Maker<OggEncoder>(Ogg(0)), PathOf("none/a.ogg"), "No such file"},
      {"aac folder", Maker<AacEncoder>(Aac(3, 1)), PathOf("none/a.aac"), "No such file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto codec = c.make();
    EXPECT_EQ(codec->Open(c.path, TrackFacts{}, nullptr), 0);
    EXPECT_TRUE(codec->ErrorText().contains(QLatin1String(c.reason)))
        << codec->ErrorText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(c.path));
    EXPECT_EQ(codec->Write(audio.constData(), kChunkBytes, 0), 0);
    EXPECT_TRUE(codec->Close());
    EXPECT_FALSE(QFileInfo::exists(c.path));
  }
}

// A device that takes no data: the failure shows in Write or Close, with the system's reason.
TEST_F(LossyCodecTest, FullDeviceFailsTheTrack) {
  for (const MakeCodec& make : DefaultCodecs()) {
    auto codec = make();
    if (!codec->Open("/dev/full", TrackFacts{}, nullptr)) {
      EXPECT_TRUE(codec->ErrorText().contains("No space left")) << codec->ErrorText().toStdString();
      continue;  // the Ogg headers already reach the device at Open
    }
    bool written = true;
    for (int i = 0; i < 4 && written; ++i)
      written = codec->Write(audio.constData(), kChunkBytes, 0);
    const bool closed = codec->Close();
    EXPECT_FALSE(written && closed);
    EXPECT_TRUE(codec->ErrorText().contains("No space left")) << codec->ErrorText().toStdString();
  }
}

// A stored rate the encoder does not take (an old or hand-edited file) is read as the
// nearest one it takes, and a range stored upside down is turned round: a track never fails
// for the settings file's sake.
TEST_F(LossyCodecTest, StoredMp3RatesAreReadAsRatesTheEncoderTakes) {
  const struct {
    const char* stored;
    int min, max;
  } cases[] = {
      {"MinBitRate=999\nMaxBitRate=999", 320, 320}, {"MinBitRate=100\nMaxBitRate=256", 96, 256},
      {"MinBitRate=0\nMaxBitRate=1", 32, 32},       {"MinBitRate=320\nMaxBitRate=128", 128, 320},
      {"MinBitRate=-5\nMaxBitRate=104", 32, 96},    {"MinBitRate=abc", 256, 256},
  };
  TempConfig config;
  for (const auto& c : cases) {
    WriteFileBytes(config.File("korvane.ini"), QByteArray("[MP3]\n") + c.stored + "\n");
    Mp3Settings settings;
    settings.Load(IniFile(QStringLiteral("korvane.ini")));
    EXPECT_EQ(settings.minBitRate, c.min) << c.stored;
    EXPECT_EQ(settings.maxBitRate, c.max) << c.stored;
    Mp3Encoder codec(settings);
    EXPECT_TRUE(Encode(codec, PathOf("stored.mp3"), audio)) << c.stored;
  }
}

// Pink noise encoded at the default settings of variable bit rate keeps its high band: the
// energy above 8 kHz of the decoded file is within 2 dB of the source's.
TEST_F(LossyCodecTest, VbrMp3KeepsTheHighBand) {
  const QString source = PathOf("pink.raw");
  const ProcessResult noise = RunProgram(
      "ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                 "anoisesrc=color=pink:sample_rate=44100:amplitude=0.5:duration=4:seed=7", "-ac",
                 "2", "-f", "s16le", "-y", source});
  ASSERT_EQ(noise.exitCode, 0) << noise.err.constData();
  const QByteArray pink = ReadFileBytes(source);
  ASSERT_GT(pink.size(), 4 * 44100 * 3);
  for (const int fquality : {3, 8}) {
    Mp3Settings settings = Mp3(128, 320);
    settings.fquality = fquality;
    const QString encoded = PathOf(QString("pink%1.mp3").arg(fquality));
    Mp3Encoder codec(settings);
    ASSERT_TRUE(Encode(codec, encoded, pink));
    const double lost = HighBandLevel(source, true) - HighBandLevel(encoded, false);
    EXPECT_LT(std::abs(lost), 2.0) << "slider " << fquality << ": " << lost << " dB";
  }
  EXPECT_EQ(Mp3Settings{}.VbrQuality(), 2);
}

}  // namespace

namespace {

// The three sections as the settings file holds them: read with the table's defaults for
// missing keys, written back whole; the MP3 switch is read as "isVBR" and written "IsVBR".
TEST(LossySettings, LoadAndSaveTheirSections) {
  TempConfig config;
  WriteFileBytes(config.File("korvane.ini"),
                 "[MP3]\nMinBitRate=128\nmaxbitrate=320\nisVBR=1\n[OGG]\nVBR=1\nfquality=12\n"
                 "[AAC]\nmpeg_version=0\n");
  IniFile ini(QStringLiteral("korvane.ini"));
  Mp3Settings mp3;
  mp3.Load(ini);
  EXPECT_EQ(mp3.minBitRate, 128);
  EXPECT_EQ(mp3.maxBitRate, 320);
  EXPECT_TRUE(mp3.IsVariable());
  EXPECT_EQ(mp3.isVbr, 1);
  EXPECT_EQ(mp3.stereoMode, Mp3Settings::Stereo);
  EXPECT_EQ(mp3.fquality, 3);
  OggSettings ogg;
  ogg.Load(ini);
  EXPECT_EQ(ogg.vbr, 1);
  EXPECT_FLOAT_EQ(ogg.Quality(), 0.9f);
  EXPECT_EQ(ogg.nomBitRate, 256);
  AacSettings aac;
  aac.Load(ini);
  EXPECT_EQ(aac.mpegVersion, 0);
  EXPECT_EQ(aac.BitRate(), 129);

  mp3.stereoMode = Mp3Settings::Mono;
  mp3.isVbr = 0;
  mp3.Save(ini);
  ogg.minBitRate = -1;
  ogg.Save(ini);
  aac.fquality = 6;
  aac.Save(ini);
  const QByteArray file = ReadFileBytes(config.File("korvane.ini"));
  EXPECT_TRUE(file.contains("IsVBR=0")) << file.toStdString();
  Mp3Settings mp3Again;
  mp3Again.Load(ini);
  EXPECT_EQ(mp3Again.stereoMode, Mp3Settings::Mono);
  EXPECT_EQ(mp3Again.isVbr, 0);
  OggSettings oggAgain;
  oggAgain.Load(ini);
  EXPECT_EQ(oggAgain.minBitRate, -1);
  AacSettings aacAgain;
  aacAgain.Load(ini);
  EXPECT_EQ(aacAgain.fquality, 6);
}

}  // namespace
