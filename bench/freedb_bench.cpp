// A whole freedb lookup against the loopback CDDB server of the tests: connect, greeting,
// hello, proto, query, read and parse, over the line protocol and over HTTP.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "cddb_test_server.h"
#include "loopback_peers.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "platform/paths.h"

namespace {

const QByteArray kEntry =
    "# xmcd\r\n#\r\nDISCID=0501a202\r\nDTITLE=Bench Artist / Bench Album\r\nDYEAR=2001\r\nDGENRE=Art Rock\r\n"
    "TTITLE0=Opening\r\nTTITLE1=Closing\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n";

void Lookup(benchmark::State& state, int accessMethod) {
  EnsureCoreApp();
  QTemporaryDir config;
  Paths::SetConfigDirOverride(config.path());
  CddbTestServer server(accessMethod == FreeDb::kViaHttp ? CddbTestServer::Mode::Http : CddbTestServer::Mode::Line);
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
    auto client = FreeDbClient::Create(accessMethod);
    client->SetSettings(settings);
    bool found = false;
    client->SetReporter([&](double value, const QString&) { found |= value == FreeDb::kLookupSucceeded; });
    client->Run(&info, toc);
    while (!client->Finished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!found || info.album != "Bench Album") {
      state.SkipWithError("the lookup did not find the disc");
      break;
    }
    info.discId.clear();  // nothing to store
  }
}

void BM_LookupLineProtocol(benchmark::State& state) { Lookup(state, FreeDb::kViaTcp); }
void BM_LookupHttp(benchmark::State& state) { Lookup(state, FreeDb::kViaHttp); }

BENCHMARK(BM_LookupLineProtocol)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LookupHttp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
