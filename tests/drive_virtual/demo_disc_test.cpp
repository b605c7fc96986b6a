#include <gtest/gtest.h>

#include <QSet>
#include <QtEndian>

#include <cmath>
#include <numbers>

#include "drive_virtual/drive_test_support.h"

namespace {

QList<double> LeftChannel(const QByteArray& sectors) {
  QList<double> samples;
  for (qsizetype at = 0; at + 4 <= sectors.size(); at += 4) {
    samples.append(qFromLittleEndian<qint16>(sectors.constData() + at));
  }
  return samples;
}

double Rms(const QList<double>& samples, qsizetype from, qsizetype count) {
  double sum = 0;
  for (qsizetype i = from; i < from + count; ++i) sum += samples[i] * samples[i];
  return std::sqrt(sum / double(count));
}

// Distinct spectral peaks below about 2 kHz in a 4096-sample window (plain DFT).
int SpectralPeaks(const QList<double>& samples, qsizetype from) {
  constexpr int kWindow = 4096;
  QList<double> magnitude;
  for (int bin = 0; bin < 190; ++bin) {
    double re = 0;
    double im = 0;
    for (int n = 0; n < kWindow; ++n) {
      const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / kWindow);
      const double angle = 2 * std::numbers::pi * bin * n / kWindow;
      re += hann * samples[from + n] * std::cos(angle);
      im -= hann * samples[from + n] * std::sin(angle);
    }
    magnitude.append(std::hypot(re, im));
  }
  const double top = *std::max_element(magnitude.begin(), magnitude.end());
  int peaks = 0;
  for (int bin = 1; bin + 1 < magnitude.size(); ++bin) {
    if (magnitude[bin] > 0.1 * top && magnitude[bin] >= magnitude[bin - 1] &&
        magnitude[bin] > magnitude[bin + 1])
      ++peaks;
  }
  return peaks;
}

class DemoDisc : public testing::Test {
 protected:
  void SetUp() override { VirtualDriveHost::Instance().Drive(0).LoadDemo(); }
  ScsiClient client_;
};

TEST_F(DemoDisc, FourAudioTracksOfTwentyToFortySecondsWithCdText) {
  const ScsiAnswer toc = client_.Send(ReadTocCdb(0, false), 804);
  ASSERT_TRUE(toc.Good());
  ASSERT_EQ(toc.data[2], 1);
  ASSERT_EQ(toc.data[3], 4);
  for (int i = 0; i < 4; ++i) {
    const char* descriptor = toc.data.constData() + 4 + 8 * i;
    EXPECT_EQ(descriptor[1] & 0x04, 0) << "audio";
    const auto start = qFromBigEndian<quint32>(descriptor + 4);
    const auto next = qFromBigEndian<quint32>(descriptor + 8 + 4);
    EXPECT_GE(next - start, 20u * 75) << i;
    EXPECT_LE(next - start, 40u * 75) << i;
  }
  const ScsiAnswer text = client_.Send(ReadTocCdb(5, false, 0, 0xFF00), 0xFF00);
  ASSERT_TRUE(text.Good());
  const DecodedCdText decoded =
      DecodeCdText(text.data.mid(4, qFromBigEndian<quint16>(text.data.constData()) - 2), 5);
  ASSERT_EQ(decoded.titles.size(), 5);
  ASSERT_EQ(decoded.performers.size(), 5);
  for (const QString& title : decoded.titles) EXPECT_FALSE(title.isEmpty());
  EXPECT_FALSE(decoded.performers[0].isEmpty());
  EXPECT_EQ(QSet<QString>(decoded.titles.begin(), decoded.titles.end()).size(), 5);
}

// Music, not silence or one bare tone: several simultaneous pitches, loudness that moves with
// the beat, the same bytes on every read, different pieces on different tracks.
TEST_F(DemoDisc, TracksHoldChordsWithAnEnvelope) {
  QList<QByteArray> middles;
  for (int track = 0; track < 4; ++track) {
    const ScsiAnswer toc = client_.Send(ReadTocCdb(0, false), 804);
    const auto start = qFromBigEndian<quint32>(toc.data.constData() + 4 + 8 * track + 4);
    const int lba = int(start) + 10 * 75;  // ten seconds in, 2 seconds of sound
    const ScsiAnswer sound = client_.Send(ReadCdCdb(lba, 150, 0xF0, 1), 150 * 2352);
    ASSERT_TRUE(sound.Good());
    const QList<double> left = LeftChannel(sound.data);
    EXPECT_GT(Rms(left, 0, left.size()), 1000) << track;
    EXPECT_GE(SpectralPeaks(left, 2000), 3) << track;
    double quietest = 1e9;
    double loudest = 0;
    for (qsizetype at = 0; at + 882 <= left.size(); at += 882) {  // 20 ms windows
      quietest = std::min(quietest, Rms(left, at, 882));
      loudest = std::max(loudest, Rms(left, at, 882));
    }
    EXPECT_GT(loudest, 2 * quietest) << track;
    EXPECT_EQ(client_.Send(ReadCdCdb(lba, 150, 0xF0, 1), 150 * 2352).data, sound.data) << track;
    middles.append(sound.data);
  }
  EXPECT_EQ(QSet<QByteArray>(middles.begin(), middles.end()).size(), 4);
}

}  // namespace
