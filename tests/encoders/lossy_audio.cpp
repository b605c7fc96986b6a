#include "encoders/lossy_audio.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>
#include <cmath>
#include <numbers>

#include "encoders/audio_encoder.h"
#include "encoders/tag_record.h"
#include "support/test_support.h"

namespace {

int16_t Sample(const QByteArray& pcm, int frame, int channel) {
  const int16_t* s = reinterpret_cast<const int16_t*>(pcm.constData());
  if (channel < 2) return s[2 * frame + channel];
  return int16_t((s[2 * frame] + s[2 * frame + 1]) / 2);
}

int Frames(const QByteArray& pcm) { return int(pcm.size() / 4); }

// Correlation over count frames of the source from frame 0 and the decoded from lag.
double CorrelationOver(const QByteArray& source, const QByteArray& decoded, int lag, int channel,
                       int count) {
  double sum = 0, sourceEnergy = 0, decodedEnergy = 0;
  for (int i = 0; i < count; ++i) {
    const double a = Sample(source, i, channel);
    const double b = Sample(decoded, i + lag, channel);
    sum += a * b;
    sourceEnergy += a * a;
    decodedEnergy += b * b;
  }
  return sourceEnergy > 0 && decodedEnergy > 0 ? sum / std::sqrt(sourceEnergy * decodedEnergy) : 0;
}

}  // namespace

QByteArray SweepAudio(int frames) {
  QByteArray pcm(qsizetype(frames) * 4, '\0');
  auto* s = reinterpret_cast<int16_t*>(pcm.data());
  const double seconds = frames / 44100.0;
  double leftPhase = 0, rightPhase = 0;
  for (int i = 0; i < frames; ++i) {
    const double t = i / 44100.0 / std::max(seconds, 1e-9);
    leftPhase += 2 * std::numbers::pi * (200 + 4800 * t) / 44100.0;
    rightPhase += 2 * std::numbers::pi * (5000 - 4500 * t) / 44100.0;
    s[2 * i] = int16_t(16000 * std::sin(leftPhase));
    s[2 * i + 1] = int16_t(16000 * std::sin(rightPhase));
  }
  return pcm;
}

QByteArray DecodeToPcm(const QString& path) {
  const ProcessResult r = RunProgram("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-acodec",
                                                "pcm_s16le", "-ac", "2", "-ar", "44100", "-"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out;
}

int BestLag(const QByteArray& source, const QByteArray& decoded, int maxLag) {
  const int window = std::min(Frames(source), 8192);
  int best = 0;
  double bestValue = -2;
  for (int lag = 0; lag <= maxLag && lag + window <= Frames(decoded); ++lag) {
    const double value = CorrelationOver(source, decoded, lag, 0, window);
    if (value > bestValue) {
      bestValue = value;
      best = lag;
    }
  }
  return best;
}

double Correlation(const QByteArray& source, const QByteArray& decoded, int lag, int channel) {
  const int count = std::min(Frames(source), Frames(decoded) - lag);
  return count > 0 ? CorrelationOver(source, decoded, lag, channel, count) : 0;
}

QMap<QString, QString> ProbeTags(const QString& path) {
  const ProcessResult r = RunProgram(
      "ffprobe", {"-v", "error", "-show_entries", "format_tags:stream_tags", "-of", "json", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  QMap<QString, QString> tags;
  const QJsonObject root = QJsonDocument::fromJson(r.out).object();
  auto collect = [&tags](const QJsonObject& object) {
    for (auto it = object.begin(); it != object.end(); ++it)
      tags[it.key().toLower()] = it.value().toString();
  };
  collect(root["format"].toObject()["tags"].toObject());
  for (const auto& stream : root["streams"].toArray())
    collect(stream.toObject()["tags"].toObject());
  return tags;
}

double ProbeDuration(const QString& path) {
  const ProcessResult r = RunProgram(
      "ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QString::fromUtf8(r.out).trimmed().toDouble();
}

double HighBandLevel(const QString& path, bool raw) {
  QStringList args = {"-v", "info", "-nostats"};
  if (raw)
    args << "-f"
         << "s16le"
         << "-ar"
         << "44100"
         << "-ac"
         << "2";
  // Four two-pole stages: 48 dB an octave, so the louder low band of pink noise stays out.
  const QString stage = "highpass=f=8000:poles=2";
  args << "-i" << path << "-af" << QStringList(4, stage).join(',') + ",volumedetect"
       << "-f"
       << "null"
       << "-";
  const ProcessResult r = RunProgram("ffmpeg", args);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QRegularExpressionMatch level =
      QRegularExpression("mean_volume: (-?[0-9.]+) dB").match(QString::fromUtf8(r.err));
  EXPECT_TRUE(level.hasMatch()) << r.err.toStdString();
  return level.captured(1).toDouble();
}

bool EncodeAsRip(AudioEncoder& codec, const QString& path, const QByteArray& audio,
                 const TagRecord* tags, uint32_t chunkBytes) {
  TrackFacts facts;
  facts.trackIndex = 2;
  facts.trackCount = 12;
  facts.sectorCount = uint32_t((audio.size() + kCdSectorBytes - 1) / kCdSectorBytes);
  if (!codec.Open(path, facts, tags)) return false;
  for (qsizetype at = 0; at < audio.size(); at += chunkBytes) {
    const qsizetype n = std::min<qsizetype>(chunkBytes, audio.size() - at);
    if (!codec.Write(audio.constData() + at, uint32_t(n), 0)) return false;
  }
  return codec.Close() != 0;
}

TagRecord UnicodeTags() {
  TagRecord tags;
  const QString texts[TagRecord::SlotCount] = {
      QString::fromUtf8("Ünïcødé title – 日本語のタイトル 🎵"),
      QString::fromUtf8("Артист"),
      QString::fromUtf8("Album “quoted”"),
      "1999",
      "Blues",
      "A comment",
      "3"};
  for (int slot = 0; slot < TagRecord::SlotCount; ++slot) tags.wide[slot] = texts[slot];
  return tags;
}
