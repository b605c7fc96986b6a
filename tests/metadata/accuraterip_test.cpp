#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>

#include "metadata/accuraterip.h"
#include "metadata/accuraterip_client.h"
#include "settings/settings_store.h"
#include "support/accuraterip_server.h"
#include "support/test_support.h"

namespace {

MsfAddress MsfOfLba(int lba) {
  const int frames = lba + 150;
  return {frames / 4500, frames / 75 % 60, frames % 75};
}

TocAddresses Toc(const std::vector<int>& startLbas, int leadOutLba) {
  TocAddresses toc;
  for (int lba : startLbas) toc.trackStarts.push_back(MsfOfLba(lba));
  toc.leadOut = MsfOfLba(leadOutLba);
  return toc;
}

struct IdentityCase {
  const char* name;
  std::vector<int> starts;
  std::vector<bool> data;
  int leadOut;
  const char* expectedPrefix;  // nnn-aaaaaaaa-bbbbbbbb, worked out by hand below
};

// a = the audio starts + lead-out; b = each audio start (1 for 0) x its number among the
// audio tracks + lead-out x (audio tracks + 1).
const IdentityCase kIdentities[] = {
    // 0 + 1000 + 5000 + 9000 = 15000; 1x1 + 1000x2 + 5000x3 + 9000x4 = 53001.
    {"plain", {0, 1000, 5000}, {false, false, false}, 9000, "003-00003a98-0000cf09"},
    // Track 1 starts at its INDEX 01 after a hidden pregap: 182 + 20000 + 40000 = 60182;
    // 182 + 20000x2 + 40000x3 = 160182.
    {"pregap", {182, 20000}, {false, false}, 40000, "002-0000eb16-000271b6"},
    // Enhanced CD: the data track of the second session is left out, the lead-out is the
    // disc's: 0 + 15000 + 40000 = 55000; 1 + 30000 + 40000x3 = 150001.
    {"enhanced", {0, 15000, 26400}, {false, false, true}, 40000, "002-0000d6d8-000249f1"},
    // Mixed mode: the data track first is left out: 20000 + 30000 + 45000 = 95000;
    // 20000 + 60000 + 135000 = 215000.
    {"mixed", {0, 20000, 30000}, {true, false, false}, 45000, "002-00017318-000347d8"},
};

TEST(AccurateRipId, SumsOverTheAudioTracks) {
  for (const IdentityCase& c : kIdentities) {
    SCOPED_TRACE(c.name);
    const TocAddresses toc = Toc(c.starts, c.leadOut);
    const std::optional<AccurateRipId> id = ComputeAccurateRipId(toc, c.data);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->Text(), QString(c.expectedPrefix) + "-" + HexWord(ComputeDiscId(toc)));
    EXPECT_EQ(id->c, ComputeDiscId(toc));  // every track counts, the data track too
  }
}

TEST(AccurateRipId, NinetyNineTracksWrapModuloTwoToThe32) {
  std::vector<int> starts;
  uint64_t a = 0;
  uint64_t b = 0;
  for (int i = 0; i < 99; ++i) {
    starts.push_back(i * 3000);
    a += uint64_t(i) * 3000;
    b += uint64_t(std::max(i * 3000, 1)) * uint64_t(i + 1);
  }
  const int leadOut = 99 * 3000 + 1000;
  a += leadOut;
  b += uint64_t(leadOut) * 100;
  const std::optional<AccurateRipId> id =
      ComputeAccurateRipId(Toc(starts, leadOut), std::vector<bool>(99, false));
  ASSERT_TRUE(id);
  EXPECT_TRUE(id->Text().startsWith("099-"));
  EXPECT_EQ(id->a, uint32_t(a));
  EXPECT_EQ(id->b, uint32_t(b));
  EXPECT_EQ(id->Text().size(), 30);
}

TEST(AccurateRipId, NothingWithoutAudioOrAUsableTable) {
  EXPECT_FALSE(ComputeAccurateRipId(Toc({0}, 5000), {true}));
  EXPECT_FALSE(ComputeAccurateRipId(Toc({}, 5000), {}));
  EXPECT_FALSE(ComputeAccurateRipId(Toc({0, 100}, 5000), {false}));
}

TEST(AccurateRipId, DatabasePathTakesTheLastDigitsOfAInReverse) {
  const AccurateRipId id{3, 0x0012a3b4, 0xcafe, 0x0501a202};
  EXPECT_EQ(id.DatabasePath(), "4/b/3/dBAR-003-0012a3b4-0000cafe-0501a202.bin");
  EXPECT_EQ(AccurateRipUrl("http://db.example/", id),
            "http://db.example/accuraterip/4/b/3/dBAR-003-0012a3b4-0000cafe-0501a202.bin");
}

const AccurateRipId kDisc{3, 0x3a98, 0xcf09, 0x0501a202};

QByteArray Response(const std::vector<DbarTrack>& tracks) {
  return DbarResponse(kDisc.audioTracks, kDisc.a, kDisc.b, kDisc.c, tracks);
}

// Two responses as the database gives them: different pressings' checksums, a
// zero-confidence entry where a pressing has no submission for a track.
QByteArray TwoResponses() {
  return Response({{12, 0x11111111}, {0, 0x22222222}, {7, 0x33333333}}) +
         Response({{30, 0xaaaaaaaa}, {0, 0}, {2, 0x33333333}});
}

TEST(AccurateRipAnswer, EachTrackGetsItsStatusAndBestConfidence) {
  const AccurateRipAnswer answer = ParseAccurateRipAnswer(TwoResponses(), kDisc);
  ASSERT_TRUE(answer.Usable()) << answer.error.toStdString();
  ASSERT_EQ(answer.responses.size(), 2u);
  struct Case {
    int track;
    uint32_t v1, v2;
    AccurateRipStatus status;
    int confidence;
  };
  const Case cases[] = {
      {0, 0x11111111, 0x99999999, AccurateRipStatus::Accurate, 12},      // v1, first response
      {0, 0x98765432, 0xaaaaaaaa, AccurateRipStatus::Accurate, 30},      // v2, second response
      {0, 0x12345678, 0x87654321, AccurateRipStatus::Inaccurate, 0},     // entries, no match
      {1, 0x22222222, 0x22222222, AccurateRipStatus::NotInDatabase, 0},  // confidence 0 only
      {2, 0x33333333, 0, AccurateRipStatus::Accurate, 7},                // both match: the highest
      {3, 0x11111111, 0, AccurateRipStatus::NotInDatabase, 0},           // beyond the disc's tracks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.track);
    const TrackVerdict verdict = VerifyTrack(answer, c.track, c.v1, c.v2);
    EXPECT_EQ(StatusName(verdict.status), StatusName(c.status));
    EXPECT_EQ(verdict.confidence, c.confidence);
  }
}

TEST(AccurateRipAnswer, BrokenAnswersAreUnavailableAndSaySo) {
  const QByteArray good = TwoResponses();
  const struct {
    const char* name;
    QByteArray bytes;
    const char* says;
  } cases[] = {
      {"cut in a header", good.left(good.size() - 30), "header"},
      {"cut in the entries", good.left(good.size() - 3), "track entries"},
      {"another disc", DbarResponse(3, 1, 2, 3, {{1, 1}, {1, 2}, {1, 3}}), "not 003-"},
      {"another track count", DbarResponse(2, kDisc.a, kDisc.b, kDisc.c, {{1, 1}, {1, 2}}),
       "not 003-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const AccurateRipAnswer answer = ParseAccurateRipAnswer(c.bytes, kDisc);
    EXPECT_FALSE(answer.Usable());
    EXPECT_TRUE(answer.error.contains(c.says)) << answer.error.toStdString();
    EXPECT_EQ(StatusName(VerifyTrack(answer, 0, 0x11111111, 0).status), "unavailable");
  }
  // An empty answer is a disc without entries.
  EXPECT_TRUE(ParseAccurateRipAnswer({}, kDisc).Usable());
}

class AccurateRipClientTest : public testing::Test {
 protected:
  TestApplication<QCoreApplication> app;
  AccurateRipServer server;

  AccurateRipAnswer Fetch(const QString& url) {
    return AccurateRipServer::WhileServing([&] { return FetchAccurateRip(url, kDisc); });
  }
};

TEST_F(AccurateRipClientTest, FetchesTheDiscsFileFromItsPath) {
  server.Serve("/accuraterip/8/9/a/dBAR-003-00003a98-0000cf09-0501a202.bin", TwoResponses());
  const AccurateRipAnswer answer = Fetch(server.Url());
  ASSERT_TRUE(answer.Usable()) << answer.error.toStdString();
  EXPECT_EQ(answer.responses.size(), 2u);
  EXPECT_EQ(server.Requests(),
            QStringList{"/accuraterip/8/9/a/dBAR-003-00003a98-0000cf09-0501a202.bin"});
}

TEST_F(AccurateRipClientTest, AnAbsentDiscIsNotInTheDatabase) {
  const AccurateRipAnswer answer = Fetch(server.Url());
  EXPECT_TRUE(answer.Usable());
  EXPECT_EQ(StatusName(VerifyTrack(answer, 0, 1, 2).status), "not-in-database");
}

TEST_F(AccurateRipClientTest, ServerTroubleIsUnavailable) {
  server.SetStatus("503 Service Unavailable");
  AccurateRipAnswer answer = Fetch(server.Url());
  EXPECT_FALSE(answer.Usable());
  EXPECT_TRUE(answer.error.contains("503"));

  QTcpServer closed;  // a port that was free a moment ago: nothing listens there
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 port = closed.serverPort();
  closed.close();
  answer = Fetch(QStringLiteral("http://127.0.0.1:%1").arg(port));
  EXPECT_FALSE(answer.Usable());
  EXPECT_TRUE(answer.error.contains("cannot be reached")) << answer.error.toStdString();
}

TEST(AccurateRipSettings, DefaultsAndStoredValues) {
  TempConfig config;
  AccurateRipSettings settings = AccurateRipSettings::Load();
  EXPECT_EQ(settings.server, "http://www.accuraterip.com");
  EXPECT_TRUE(settings.verify);
  SettingsStore::Instance().WriteString(Key::ArServer, "http://127.0.0.1:9");
  SettingsStore::Instance().WriteInt(Key::ArVerify, 0);
  settings = AccurateRipSettings::Load();
  EXPECT_EQ(settings.server, "http://127.0.0.1:9");
  EXPECT_FALSE(settings.verify);
}

}  // namespace
