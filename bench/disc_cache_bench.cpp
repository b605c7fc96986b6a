// The local disc cache of a long-time user: looking a disc up among thousands, and saving a
// fully named disc.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
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
    text +=
        QString("[%1]\n").arg(uint(0x10000000 + d * 7919), 8, 16, QChar('0')).toUpper().toLatin1();
    text += "Disc_Title=Album number " + QByteArray::number(d) +
            "\nDisc_Artist=Some Band\nDisc_Year=1999\n";
    for (int t = 1; t <= kTracks; ++t)
      text += "Track_" + QByteArray::number(t) + "=Song " + QByteArray::number(t) + "\n";
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
BENCHMARK(BM_LookUpDiscAmongMany)->Arg(100)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// What `info` pays in a new process: the cache read and parsed from disk, then one disc.
// The file's time moves on every round so the parsed copy is never reused.
void BM_FirstLookUpAmongMany(benchmark::State& state) {
  QTemporaryDir dir;
  Paths::SetConfigDirOverride(dir.path());
  WriteCache(dir.path(), int(state.range(0)));
  const QByteArray path = QFile::encodeName(dir.filePath("discs.ini"));
  const TocAddresses toc = FifteenTracks();
  time_t round = 1000000;
  for (auto _ : state) {
    const timespec times[2] = {{++round, 0}, {round, 0}};
    ::utimensat(AT_FDCWD, path.constData(), times, 0);
    DiscInfo info;
    benchmark::DoNotOptimize(info.InitForDisc(toc));
    info.discId.clear();
  }
  state.counters["bytes"] = double(QFileInfo(dir.filePath("discs.ini")).size());
}
BENCHMARK(BM_FirstLookUpAmongMany)->Arg(20000)->Unit(benchmark::kMillisecond);

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
    for (int t = 0; t < kTracks; ++t)
      info.trackTitles[t] = QString("Title %1 %2").arg(t).arg(round);
    benchmark::DoNotOptimize(info.SaveToCache());
  }
}
BENCHMARK(BM_SaveNamedDisc)->Arg(100)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
