// GetText as every dialog calls it: the language setting is read, then the language file,
// then the built-in table. Neither file changes during the run, so both come from the
// parsed copies.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/paths.h"
#include "settings/settings_store.h"
#include "texts/builtin_texts.h"
#include "texts/language_manager.h"

namespace {

constexpr unsigned kLastRowId = 9401;  // the last row of the table: the longest table search

// A settings folder and a language file translating every text except the last row.
struct BenchFiles {
  QTemporaryDir dir;
  QString languageFile = dir.filePath("Bench.lng");

  BenchFiles() {
    Paths::SetConfigDirOverride(dir.path());
    QByteArray contents = "[Translation]\nLanguageName=Bench\n";
    for (const BuiltInText& row : BuiltInTexts()) {
      if (row.IsComment() || row.id == kLastRowId) continue;
      contents += QByteArray::number(row.id) +
                  "=\xC3\x9C"
                  "bersetzung " +
                  row.text + "\n";
    }
    QFile file(languageFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) std::abort();
  }
};

void UseLanguage(bool withFile) {
  static BenchFiles files;
  SettingsStore::Instance().WriteString(Key::Language, withFile ? files.languageFile : QString());
}

void Measure(benchmark::State& state, bool withFile, unsigned id) {
  UseLanguage(withFile);
  LanguageManager& texts = LanguageManager::Instance();
  QString out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(texts.GetText(id, out));
    benchmark::DoNotOptimize(out);
  }
}

void BM_GetText_BuiltIn(benchmark::State& state) { Measure(state, false, kLastRowId); }
void BM_GetText_LanguageFile(benchmark::State& state) { Measure(state, true, 3107); }
void BM_GetText_LanguageFileFallsBack(benchmark::State& state) { Measure(state, true, kLastRowId); }

BENCHMARK(BM_GetText_BuiltIn)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_GetText_LanguageFile)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_GetText_LanguageFileFallsBack)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
