#include <discid/discid.h>
#include <gtest/gtest.h>

#include <random>

#include "drive/cd_device.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/current_disc.h"
#include "metadata/disc_id.h"
#include "metadata/disc_info.h"
#include "support/freedb_example.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

int Frames(const MsfAddress& a) { return a.minute * 4500 + a.second * 75 + a.frame; }

MsfAddress Msf(int frames) { return {frames / 4500, frames / 75 % 60, frames % 75}; }

TocAddresses TocFromFrames(const std::vector<int>& starts, int leadOut) {
  TocAddresses toc;
  for (int frames : starts) toc.trackStarts.push_back(Msf(frames));
  toc.leadOut = Msf(leadOut);
  return toc;
}

// The identifier libdiscid computes for the same table of contents.
QString LibDiscIdFreedbId(const TocAddresses& toc) {
  DiscId* disc = discid_new();
  int offsets[100] = {};
  offsets[0] = Frames(toc.leadOut);
  for (size_t i = 0; i < toc.trackStarts.size(); ++i) offsets[i + 1] = Frames(toc.trackStarts[i]);
  const int last = int(toc.trackStarts.size());
  QString id;
  if (discid_put(disc, 1, last, offsets)) id = QString::fromLatin1(discid_get_freedb_id(disc));
  discid_free(disc);
  return id;
}

// The MusicBrainz identifier libdiscid computes for a first session.
QString LibDiscIdMusicBrainzId(const FirstSession& session) {
  DiscId* disc = discid_new();
  int offsets[100] = {};
  offsets[0] = session.leadOut;
  for (size_t i = 0; i < session.trackOffsets.size(); ++i)
    offsets[session.firstTrack + int(i)] = session.trackOffsets[i];
  QString id;
  if (discid_put(disc, session.firstTrack, session.lastTrack, offsets))
    id = QString::fromLatin1(discid_get_id(disc));
  discid_free(disc);
  return id;
}

// Tracks of random lengths from 4 s up, as many as asked, on a disc of at most 80 minutes.
TocAddresses RandomToc(std::mt19937& random, int trackCount) {
  std::uniform_int_distribution<int> length(4 * 75,
                                            std::min(12 * 60 * 75, 79 * 60 * 75 / trackCount));
  std::uniform_int_distribution<int> lead(150, 182);
  std::vector<int> starts;
  int position = lead(random);
  for (int i = 0; i < trackCount; ++i) {
    starts.push_back(position);
    position += length(random);
  }
  return TocFromFrames(starts, position);
}

TEST(DiscId, WorkedExampleFromTheDiscCacheLayout) {
  const TocAddresses toc = FreedbExample::Toc();
  EXPECT_EQ(ComputeDiscId(toc), 0x0501A202u);
  EXPECT_EQ(DiscIdText(ComputeDiscId(toc)), "0501A202");
}

TEST(DiscId, NoValidTrackCountGivesZero) {
  TocAddresses empty;
  empty.leadOut = {5, 0, 0};
  EXPECT_EQ(ComputeDiscId(empty), 0u);
  EXPECT_EQ(DiscIdText(0), "00000000");

  TocAddresses hundred;
  for (int i = 0; i < 100; ++i) hundred.trackStarts.push_back(Msf(150 + i * 300));
  hundred.leadOut = Msf(150 + 100 * 300);
  EXPECT_EQ(ComputeDiscId(hundred), 0u);
}

TEST(DiscId, FramesAreIgnoredAndTheDivisorIs255) {
  // Start seconds 2 and 3, each 74 frames in: only the whole seconds count.
  TocAddresses late{{{0, 2, 74}, {0, 3, 74}}, {0, 9, 74}};
  EXPECT_EQ(ComputeDiscId(late), (5u << 24) | (7u << 8) | 2u);

  // 30 tracks at second 599 (digit sum 23): 690 mod 255 = 180, where mod 256 would give 178.
  TocAddresses heavy;
  for (int i = 0; i < 30; ++i) heavy.trackStarts.push_back({9, 59, i});
  heavy.leadOut = {10, 30, 0};
  EXPECT_EQ(ComputeDiscId(heavy) >> 24, 180u);
}

TEST(DiscId, AgreesWithLibDiscIdOverManyTables) {
  struct Case {
    const char* name;
    TocAddresses toc;
  };
  std::vector<Case> cases = {
      {"one track", TocFromFrames({150}, 150 + 75 * 60 * 74)},
      {"two short tracks", TocAddresses{{{0, 2, 0}, {3, 30, 0}}, {7, 0, 0}}},
      {"first track after a hidden pregap", TocFromFrames({150 + 33, 20000, 40000}, 60000)},
      {"seconds with zeros", TocFromFrames({150, 75 * 100, 75 * 1000, 75 * 3000}, 75 * 4000)},
      {"80-minute disc", TocFromFrames({150, 180000}, 360000)},
  };
  std::mt19937 random(20261210);
  for (int count : {1, 2, 9, 10, 17, 33, 50, 98, 99}) {
    for (int round = 0; round < 4; ++round) {
      cases.push_back({"random", RandomToc(random, count)});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", tracks " + std::to_string(c.toc.trackStarts.size()));
    const QString expected = LibDiscIdFreedbId(c.toc);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(DiscIdText(ComputeDiscId(c.toc)), expected.toUpper());
  }
}

TEST(DiscId, OfTheDiscInTheDrive) {
  TempConfig config;
  // Track lengths in sectors; the table of contents adds the two-second lead-in.
  const QList<TestTrack> tracks = {{75 * 200 + 17}, {75 * 3 + 74}, {1}, {75 * 61}};
  TestDisc disc(tracks);
  CdDevice* device = disc.Insert();
  ASSERT_NE(device, nullptr);

  TocAddresses expected;
  for (int i = 0; i < tracks.size(); ++i)
    expected.trackStarts.push_back(Msf(disc.TrackStart(i) + 150));
  expected.leadOut = Msf(disc.TrackStart(int(tracks.size())) + 150);
  const TocAddresses read = TocAddressesOf(*device);
  ASSERT_EQ(qsizetype(read.trackStarts.size()), tracks.size());
  for (int i = 0; i < tracks.size(); ++i)
    EXPECT_EQ(Frames(read.trackStarts[i]), Frames(expected.trackStarts[i]));
  EXPECT_EQ(Frames(read.leadOut), Frames(expected.leadOut));

  DiscInfo info;
  EXPECT_FALSE(InitForCurrentDisc(info));
  EXPECT_EQ(info.discId, LibDiscIdFreedbId(expected).toUpper());
  EXPECT_EQ(info.trackTitles.size(), tracks.size());

  VirtualDriveHost::Instance().Drive(0).RemoveDisc();
  device->ClearToc();
  DiscInfo none;
  EXPECT_FALSE(InitForCurrentDisc(none));
  EXPECT_EQ(none.discId, "00000000");
  EXPECT_TRUE(none.trackTitles.isEmpty());
}

TEST(MusicBrainzDiscId, TheDocumentedExample) {
  // The six-track disc of libdiscid's own documentation and tests.
  const TocAddresses toc = TocFromFrames({150, 15363, 32314, 46592, 63414, 80489}, 95462);
  EXPECT_EQ(MusicBrainzDiscId(toc), "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
}

TEST(MusicBrainzDiscId, AgreesWithLibDiscId) {
  struct Case {
    const char* name;
    TocAddresses toc;
    int expectedLastTrack;
    int expectedLeadOut;
  };
  TocAddresses enhanced = TocFromFrames({150, 20000, 40000, 60000 + 11400}, 90000);
  enhanced.lastTrackIsData = true;
  TocAddresses mixedMode = TocFromFrames({150, 30000, 50000}, 70000);  // data first: all in
  TocAddresses dataWithoutGap = TocFromFrames({150, 20000, 25000}, 40000);
  dataWithoutGap.lastTrackIsData = true;
  TocAddresses laterFirst = TocFromFrames({150, 9000, 18000}, 27000);
  laterFirst.firstTrack = 3;
  TocAddresses ninetyNine;
  for (int i = 0; i < 99; ++i) ninetyNine.trackStarts.push_back(Msf(150 + i * 2000));
  ninetyNine.leadOut = Msf(150 + 99 * 2000);
  const std::vector<Case> cases = {
      {"plain", TocFromFrames({150, 18000, 36000}, 54000), 3, 54000},
      {"hidden pregap", TocFromFrames({150 + 4000, 25000}, 50000), 2, 50000},
      {"enhanced CD", enhanced, 3, 60000},
      {"mixed mode", mixedMode, 3, 70000},
      {"data track without a session gap", dataWithoutGap, 3, 40000},
      {"first track 3", laterFirst, 5, 27000},
      {"99 tracks", ninetyNine, 99, 150 + 99 * 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FirstSession session = FirstSessionOf(c.toc);
    EXPECT_EQ(session.lastTrack, c.expectedLastTrack);
    EXPECT_EQ(session.leadOut, c.expectedLeadOut);
    const QString expected = LibDiscIdMusicBrainzId(session);
    ASSERT_EQ(expected.size(), 28);
    EXPECT_EQ(MusicBrainzDiscId(c.toc), expected);
  }
  EXPECT_NE(MusicBrainzDiscId(enhanced),
            MusicBrainzDiscId(TocFromFrames({150, 20000, 40000, 60000 + 11400}, 90000)));
  EXPECT_TRUE(MusicBrainzDiscId(TocAddresses{}).isEmpty());
}

TEST(MusicBrainzDiscId, SubmissionAddressAsLibDiscIdMakesIt) {
  TocAddresses enhanced = TocFromFrames({150, 20000, 40000, 60000 + 11400}, 90000);
  enhanced.lastTrackIsData = true;
  for (const TocAddresses& toc : {TocFromFrames({150, 15363, 32314}, 95462), enhanced}) {
    const FirstSession session = FirstSessionOf(toc);
    DiscId* disc = discid_new();
    int offsets[100] = {};
    offsets[0] = session.leadOut;
    for (size_t i = 0; i < session.trackOffsets.size(); ++i)
      offsets[i + 1] = session.trackOffsets[i];
    ASSERT_TRUE(discid_put(disc, 1, session.lastTrack, offsets));
    const QString expected = QString::fromLatin1(discid_get_submission_url(disc));
    discid_free(disc);
    const QString ours = MusicBrainzSubmissionUrl("https://mb.example/", toc);
    ASSERT_TRUE(ours.startsWith("https://mb.example/cdtoc/attach?")) << ours.toStdString();
    EXPECT_EQ(ours.mid(ours.indexOf('?')), expected.mid(expected.indexOf('?')));
  }
}

TEST(MusicBrainzDiscId, OfAnEnhancedCdInTheDrive) {
  TempConfig config;
  DiscImages images;
  // The second track is longer than the gap between the sessions, as on a real disc.
  const QString cue =
      images.Write({{"AUDIO", 75 * 40}, {"AUDIO", 75 * 200}, {"MODE1/2352", 75 * 200}});
  CdDevice* device = InsertCue(cue);
  ASSERT_NE(device, nullptr);
  const TocAddresses read = TocAddressesOf(*device);
  ASSERT_EQ(read.trackStarts.size(), 3u);
  EXPECT_TRUE(read.lastTrackIsData);
  EXPECT_EQ(read.firstTrack, 1);

  FirstSession session;
  session.firstTrack = 1;
  session.lastTrack = 2;
  session.trackOffsets = {Frames(read.trackStarts[0]), Frames(read.trackStarts[1])};
  session.leadOut = Frames(read.trackStarts[2]) - 11400;
  EXPECT_EQ(MusicBrainzDiscId(read), LibDiscIdMusicBrainzId(session));
  VirtualDriveHost::Instance().Drive(0).RemoveDisc();
  device->ClearToc();
}

}  // namespace
