// The local disc cache of a long-time user: looking a disc up among thousands, and saving a
// fully named disc.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "metadata/disc_id.h"
#include "metadata/disc_info.h"
#include "platform/paths.h"

namespace {

constexpr int kTracks = 15;

// A discs.ini of `discs` sections, each a named disc of kTracks tracks.
void WriteCache(const QString& folder, int discs) {
  QByteArray text;
  for (int d = 0; d < discs; ++d) {
    text += QString("[%1]\n").arg(uint(0x10000000 + d * 7919), 8, 16, QChar('0')).toUpper().toLatin1();
    text += "Disc_Title=Album number " + QByteArray::number(d) + "\nDisc_Artist=Some Band\nDisc_Year=1999\n";
    for (int t = 1; t <= kTracks; ++t) text += "Track_" + QByteArray::number(t) + "=Song " + QByteArray::number(t) + "\n";
  }
  QFile file(folder + "/discs.ini");
  if (file.open(QIODevice::WriteOnly)) file.write(text);
}

TocAddresses FifteenTracks() {
  TocAddresses toc;
  for (int t = 0; t < kTracks; ++t) toc.trackStarts.push_back({t * 4, 2, 0});
  toc.leadOut = {kTracks * 4, 2, 0};
  return toc;
}

void BM_LookUpDiscAmongMany(benchmark::State& state) {
  QTemporaryDir dir;
  Paths::SetConfigDirOverride(dir.path());
  WriteCache(dir.path(), int(state.range(0)));
  const TocAddresses toc = FifteenTracks();
  for (auto _ : state) {
    DiscInfo info;
    benchmark::DoNotOptimize(info.InitForDisc(toc));
  }
}
BENCHMARK(BM_LookUpDiscAmongMany)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_SaveNamedDisc(benchmark::State& state) {
  QTemporaryDir dir;
  Paths::SetConfigDirOverride(dir.path());
  WriteCache(dir.path(), int(state.range(0)));
  DiscInfo info;
  info.InitForDisc(FifteenTracks());
  int round = 0;
  for (auto _ : state) {
    ++round;
    info.album = QString("Album %1").arg(round);
    for (int t = 0; t < kTracks; ++t) info.trackTitles[t] = QString("Title %1 %2").arg(t).arg(round);
    benchmark::DoNotOptimize(info.SaveToCache());
  }
}
BENCHMARK(BM_SaveNamedDisc)->Arg(100)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
