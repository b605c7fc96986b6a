// The MP3, Ogg Vorbis, AAC, FLAC, Opus and M4A codecs beside the command-line encoder of the
// same library with the same settings, side by side in one run on the same 300 s of audio: lame
// (256 kbit/s CBR, no bit reservoir, quality 5), oggenc (managed 256/256/256), ffmpeg (AAC Main,
// 129 kbit/s, cutoff 16 kHz, ADTS), flac -5 (seek points and padding as Korvane's), opusenc
// (160 kbit/s VBR, complexity 10) and ffmpeg (AAC-LC 192 kbit/s in MP4, faststart). Counters:
// seconds of audio encoded per second of wall time, and per second of processor time of the
// encoding process (which a busy machine does not distort).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <numbers>

#include "encoders/aac_encoder.h"
#include "encoders/flac_encoder.h"
#include "encoders/m4a_encoder.h"
#include "encoders/mp3_encoder.h"
#include "encoders/ogg_encoder.h"
#include "encoders/opus_encoder.h"

namespace {

constexpr int kSeconds = 300;
constexpr int kFrames = kSeconds * 44100;
constexpr uint32_t kChunkBytes = 27 * kCdSectorBytes;

const QTemporaryDir& Folder() {
  static QTemporaryDir folder;
  return folder;
}

// Music-like audio: a few drifting tones, a slow beat and a little noise, different on each
// side; kept in memory and as a raw file for the command-line tools.
const QByteArray& Audio() {
  static const QByteArray audio = [] {
    QByteArray pcm(qsizetype(kFrames) * 4, '\0');
    auto* s = reinterpret_cast<int16_t*>(pcm.data());
    uint32_t noise = 1;
    const double w = 2 * std::numbers::pi / 44100;
    for (int i = 0; i < kFrames; ++i) {
      noise = noise * 1664525u + 1013904223u;
      const double n = (int32_t(noise) >> 20) / 2048.0;
      const double beat = 0.5 + 0.5 * std::sin(w * 2 * i);
      const double drift = 1 + 0.02 * std::sin(w * 0.1 * i);
      const double left = std::sin(w * 220 * drift * i) + 0.5 * std::sin(w * 1320 * i) * beat;
      const double right = std::sin(w * 330 * drift * i) + 0.4 * std::sin(w * 2750 * i) * beat;
      s[2 * i] = int16_t(9000 * left + 1200 * n);
      s[2 * i + 1] = int16_t(9000 * right - 1200 * n);
    }
    QFile raw(Folder().filePath("audio.raw"));
    if (raw.open(QIODevice::WriteOnly)) raw.write(pcm);
    return pcm;
  }();
  return audio;
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Audio seconds a second of wall time, and a second of the encoder's processor time.
void SetRates(benchmark::State& state, double cpuSeconds) {
  const double audio = double(kSeconds) * double(state.iterations());
  state.counters["audio_s_per_s"] = benchmark::Counter(audio, benchmark::Counter::kIsRate);
  state.counters["audio_s_per_cpu_s"] = audio / cpuSeconds;
}

void Encode(benchmark::State& state, AudioEncoder& codec, const char* name) {
  const QByteArray& audio = Audio();
  const QString path = Folder().filePath(name);
  TrackFacts facts;
  facts.sectorCount = uint32_t(audio.size() / kCdSectorBytes);
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  for (auto _ : state) {
    if (!codec.Open(path, facts, nullptr)) {
      state.SkipWithError("Open failed");
      return;
    }
    for (qsizetype at = 0; at < audio.size(); at += kChunkBytes) {
      codec.Write(audio.constData() + at,
                  uint32_t(std::min<qsizetype>(kChunkBytes, audio.size() - at)), 0);
    }
    codec.Close();
  }
  SetRates(state, CpuSeconds(RUSAGE_SELF) - cpuBefore);
}

void RunTool(benchmark::State& state, const QString& program, const QStringList& args) {
  Audio();
  const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(-1) || tool.exitCode() != 0) {
      state.SkipWithError(qPrintable(program + " failed: " + tool.readAllStandardError()));
      return;
    }
  }
  SetRates(state, CpuSeconds(RUSAGE_CHILDREN) - cpuBefore);
}

QString Raw() { return Folder().filePath("audio.raw"); }
QString Out(const char* name) { return Folder().filePath(name); }

void BM_Mp3Korvane(benchmark::State& state) {
  Mp3Settings settings;  // 256 kbit/s constant, stereo
  Mp3Encoder codec(settings);
  Encode(state, codec, "korvane.mp3");
}

void BM_Mp3Lame(benchmark::State& state) {
  RunTool(state, "lame",
          {"--quiet", "-r", "-s", "44.1", "--bitwidth", "16", "--signed", "--little-endian", "-m",
           "s", "-b", "256", "--nores", "-q", "5", Raw(), Out("lame.mp3")});
}

void BM_OggKorvane(benchmark::State& state) {
  OggSettings settings;  // managed 256/256/256
  OggEncoder codec(settings);
  Encode(state, codec, "korvane.ogg");
}

void BM_OggOggenc(benchmark::State& state) {
  RunTool(state, "oggenc",
          {"--quiet", "-r", "-B", "16", "-C", "2", "-R", "44100", "--managed", "-b", "256", "-m",
           "256", "-M", "256", "-o", Out("oggenc.ogg"), Raw()});
}

void BM_AacKorvane(benchmark::State& state) {
  AacSettings settings;  // step 3: 129 kbit/s, cutoff 16 kHz, MPEG-2 headers
  AacEncoder codec(settings);
  Encode(state, codec, "korvane.aac");
}

void BM_AacFfmpeg(benchmark::State& state) {
  RunTool(state, "ffmpeg",
          {"-v",    "error",        "-y",       "-f",   "s16le", "-ar",
           "44100", "-ac",          "2",        "-i",   Raw(),   "-c:a",
           "aac",   "-profile:a",   "aac_main", "-b:a", "129k",  "-cutoff",
           "16000", "-write_mpeg2", "1",        "-f",   "adts",  Out("ffmpeg.aac")});
}

void BM_FlacKorvane(benchmark::State& state) {
  FlacEncoder codec{FlacSettings{}};  // level 5
  Encode(state, codec, "korvane.flac");
}

void BM_FlacFlac(benchmark::State& state) {
  RunTool(state, "flac",
          {"-s", "-f", "-5", "--force-raw-format", "--endian=little", "--sign=signed",
           "--channels=2", "--bps=16", "--sample-rate=44100", "-o", Out("flac.flac"), Raw()});
}

void BM_OpusKorvane(benchmark::State& state) {
  OpusFileEncoder codec{OpusSettings{}};  // 160 kbit/s VBR, complexity 10
  Encode(state, codec, "korvane.opus");
}

void BM_OpusOpusenc(benchmark::State& state) {
  RunTool(state, "opusenc",
          {"--quiet", "--raw", "--raw-rate", "44100", "--raw-chan", "2", "--raw-bits", "16",
           "--bitrate", "160", Raw(), Out("opusenc.opus")});
}

void BM_M4aKorvane(benchmark::State& state) {
  M4aEncoder codec{M4aSettings{}};  // AAC-LC 192 kbit/s
  Encode(state, codec, "korvane.m4a");
}

void BM_M4aFfmpeg(benchmark::State& state) {
  RunTool(state, "ffmpeg", {"-v",        "error",      "-y",  "-f",   "s16le",
                            "-ar",       "44100",      "-ac", "2",    "-i",
                            Raw(),       "-c:a",       "aac", "-b:a", "192k",
                            "-movflags", "+faststart", "-f",  "ipod", Out("ffmpeg.m4a")});
}

}  // namespace

BENCHMARK(BM_Mp3Korvane)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Mp3Lame)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_OggKorvane)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_OggOggenc)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_AacKorvane)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_AacFfmpeg)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

BENCHMARK_MAIN();
BENCHMARK(BM_FlacKorvane)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_FlacFlac)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_OpusKorvane)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_OpusOpusenc)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_M4aKorvane)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_M4aFfmpeg)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
