// A whole freedb lookup against the loopback CDDB server of the tests: connect, greeting,
// hello, proto, query, read and parse, over the line protocol and over HTTP.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "cddb_test_server.h"
#include "loopback_peers.h"
#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "platform/paths.h"

namespace {

const QByteArray kEntry =
    "# xmcd\r\n#\r\nDISCID=0501a202\r\nDTITLE=Bench Artist / Bench "
    "Album\r\nDYEAR=2001\r\nDGENRE=Art Rock\r\n"
    "TTITLE0=Opening\r\nTTITLE1=Closing\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n";

void Lookup(benchmark::State& state, FreeDbAccess access) {
  EnsureCoreApp();
  QTemporaryDir config;
  Paths::SetConfigDirOverride(config.path());
  CddbTestServer server(access == FreeDbAccess::Http ? CddbTestServer::Mode::Http
                                                     : CddbTestServer::Mode::Line);
  server.SetQueryAnswer("200 rock 0501a202 Bench Artist / Bench Album\r\n");
  server.AddEntry("rock", "0501a202", kEntry);
  TocAddresses toc;
  toc.trackStarts = {{0, 2, 0}, {3, 30, 0}};
  toc.leadOut = {7, 0, 0};
  FreeDbClientSettings settings;
  settings.server = "127.0.0.1";
  settings.port = server.Port();

  for (auto _ : state) {
    DiscInfo info;
    info.ResetToDefaults(2);
    auto client = FreeDbClient::Create(access);
    client->SetSettings(settings);
    bool found = false;
    client->SetReporter([&](const LookupReport& report) {
      found |= report.state == LookupReport::State::Succeeded;
    });
    client->Run(&info, toc);
    while (!client->Finished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!found || info.album != "Bench Album") {
      state.SkipWithError("the lookup did not find the disc");
      break;
    }
  }
}

// A large answer arriving in small pieces, as a slow link delivers it: the reader looks at
// each byte once, so the time grows with the size alone (range: piece size in bytes).
void BM_AnswerReaderInPieces(benchmark::State& state) {
  QByteArray answer = "210 rock 0501a202 entry follows\r\n";
  while (answer.size() < Cddb::kMaxAnswer - 100) answer += "EXTD=" + QByteArray(70, 'z') + "\r\n";
  answer += ".\r\n";
  const qsizetype piece = state.range(0);
  for (auto _ : state) {
    Cddb::AnswerReader reader;
    for (qsizetype at = 0; at < answer.size(); at += piece) {
      reader.Append(answer.constData() + at, std::min(piece, answer.size() - at));
    }
    if (!reader.Complete() || reader.Take().size() != answer.size()) {
      state.SkipWithError("the answer was not read whole");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * answer.size());
}

void BM_LookupLineProtocol(benchmark::State& state) { Lookup(state, FreeDbAccess::Tcp); }
void BM_LookupHttp(benchmark::State& state) { Lookup(state, FreeDbAccess::Http); }

BENCHMARK(BM_AnswerReaderInPieces)->Arg(20)->Arg(1024)->Arg(32768)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupLineProtocol)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LookupHttp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
