// Reads of settings on an unchanged file (every text lookup reads the language setting),
// and the first parse of a large disc cache.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/paths.h"
#include "settings/ini_document.h"
#include "settings/ini_file.h"

namespace {

QTemporaryDir& Folder() {
  static QTemporaryDir dir;
  Paths::SetConfigDirOverride(dir.path());
  return dir;
}

IniFile& TwoHundredKeyFile() {
  static IniFile* ini = [] {
    Folder();
    auto* file = new IniFile("bench.ini");
    for (int s = 0; s < 10; ++s) {
      for (int k = 0; k < 20; ++k) {
        file->WriteString(QString("Section%1").arg(s), QString("Key%1").arg(k),
                          QString("value number %1 of section %2").arg(k).arg(s));
      }
    }
    file->WriteInt("General", "FormatSelected", 11012);
    return file;
  }();
  return *ini;
}

void BM_ReadStringUnchangedFile(benchmark::State& state) {
  IniFile& ini = TwoHundredKeyFile();
  QString out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ini.ReadString("Section7", "Key13", "", out));
  }
}
BENCHMARK(BM_ReadStringUnchangedFile);

void BM_ReadIntUnchangedFile(benchmark::State& state) {
  IniFile& ini = TwoHundredKeyFile();
  for (auto _ : state) benchmark::DoNotOptimize(ini.ReadInt("General", "FormatSelected", 0));
}
BENCHMARK(BM_ReadIntUnchangedFile);

// What a read costs when the file is opened and parsed at every call, as the Windows
// profile functions do: the baseline the cached reads are measured against.
void BM_ReadIntReparsingEveryCall(benchmark::State& state) {
  IniFile& ini = TwoHundredKeyFile();
  QFile file(ini.Path());
  for (auto _ : state) {
    file.open(QIODevice::ReadOnly);
    const IniDocument doc = IniDocument::Parse(file.readAll());
    file.close();
    benchmark::DoNotOptimize(doc.Value(u"General", u"FormatSelected"));
  }
}
BENCHMARK(BM_ReadIntReparsingEveryCall);

// A disc cache of about 1 MB: 1,000 discs of 12 tracks.
QByteArray LargeDiscCache() {
  QByteArray bytes;
  for (int d = 0; d < 1000; ++d) {
    bytes += QByteArray("[") + QByteArray::number(0x7a0b8c00 + d, 16) + "]\n";
    bytes += "Artist=Some Artist Name\nAlbum=An Album Title That Is Long\nYear=1999\nGenre=Rock\n";
    bytes += "Comment=\nVariousArtists=0\n";
    for (int t = 1; t <= 12; ++t) {
      bytes += "Track" + QByteArray::number(t) + "=A Track Title That Is Fairly Long " +
               QByteArray::number(t) + "\nArtist" + QByteArray::number(t) + "=Some Artist Name\n";
    }
  }
  return bytes;
}

void BM_FirstParseOfOneMegabyteCache(benchmark::State& state) {
  const QByteArray bytes = LargeDiscCache();
  for (auto _ : state) {
    IniDocument doc = IniDocument::Parse(bytes);
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(state.iterations() * bytes.size());
  state.counters["bytes"] = bytes.size();
}
BENCHMARK(BM_FirstParseOfOneMegabyteCache)->Unit(benchmark::kMillisecond);

// One setting written to a korvane.ini of about 50 MB (50,000 sections of 40 keys): the
// file is parsed, the one line spliced in, and the whole file replaced.
void BM_WriteOneKeyToFiftyMegabyteFile(benchmark::State& state) {
  QTemporaryDir dir;
  QByteArray bytes;
  for (int s = 0; s < 50000; ++s) {
    bytes += "[Section" + QByteArray::number(s) + "]\n";
    for (int k = 0; k < 40; ++k) {
      bytes += "Key" + QByteArray::number(k) + "=value number " + QByteArray::number(k) +
               " of section " + QByteArray::number(s) + "\n";
    }
  }
  QFile file(dir.filePath("korvane.ini"));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    state.SkipWithError("cannot write the file");
    return;
  }
  file.close();
  IniFile ini = IniFile::AtPath(dir.filePath("korvane.ini"));
  int round = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ini.WriteInt("Section25000", "Key7", ++round));
  state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_WriteOneKeyToFiftyMegabyteFile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
