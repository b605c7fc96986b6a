// The reader's choice among the open tracks' rings, step by step on one thread: it stays on
// its track while that ring has room, then moves to the first track at most half full; each
// consumer gets its own track's chunks in order, and a track given up is read no further.
#include "rip/track_streams.h"

#include <gtest/gtest.h>

#include <QList>
#include <chrono>
#include <thread>

namespace {

constexpr uint32_t kChunk = 2;  // sectors
constexpr size_t kRing = 4;     // chunks

// Reads one chunk as the reader would (its first byte is the chunk's first sector) and
// says which track it was for.
int ReadOne(TrackStreams& streams) {
  TrackStreams::ReadTask task;
  if (!streams.NextRead(task)) return -1;
  task.buffer[0] = uint8_t(task.sector);
  streams.Publish(task);
  return task.track;
}

QList<int> ReadSome(TrackStreams& streams, int chunks) {
  QList<int> tracks;
  for (int i = 0; i < chunks; ++i) tracks.append(ReadOne(streams));
  return tracks;
}

// Takes n chunks of a track; their first sectors, in the order they came.
QList<int> Consume(TrackStreams& streams, int track, int n) {
  QList<int> sectors;
  for (int i = 0; i < n; ++i) {
    const TrackStreams::Chunk* chunk = streams.Front(track);
    if (!chunk) break;
    EXPECT_EQ(chunk->data[0], uint8_t(chunk->firstSector));
    sectors.append(int(chunk->firstSector));
    streams.Release(track);
  }
  return sectors;
}

TEST(TrackStreams, TheReaderStaysOnItsTrackThenMovesToTheFirstHalfEmptyRing) {
  // Three tracks of 10 chunks each, at sectors 0, 100 and 200.
  TrackStreams streams({{0, 20}, {100, 20}, {200, 20}}, kRing, kChunk, 1);
  streams.Open(0, 1);
  streams.Open(1, 1);
  EXPECT_EQ(ReadSome(streams, 8), (QList<int>{0, 0, 0, 0, 1, 1, 1, 1}))
      << "the first ring fills, then the next";
  EXPECT_EQ(Consume(streams, 0, 2), (QList<int>{0, 2})) << "in order";
  EXPECT_EQ(ReadSome(streams, 2), (QList<int>{0, 0})) << "a half-empty ring takes the reader back";
  EXPECT_EQ(Consume(streams, 1, 1), (QList<int>{100}));
  EXPECT_EQ(Consume(streams, 0, 1), (QList<int>{4}));
  EXPECT_EQ(ReadSome(streams, 1), (QList<int>{0})) << "its own track first while it has room";

  // A track given up is read no further; the reader finishes the others.
  streams.Done(1);
  EXPECT_EQ(Consume(streams, 0, 4), (QList<int>{6, 8, 10, 12}));
  EXPECT_EQ(ReadSome(streams, 3), (QList<int>{0, 0, 0}));
  streams.Done(2);
  EXPECT_EQ(Consume(streams, 0, 10), (QList<int>{14, 16, 18})) << "the end of the track";
  EXPECT_EQ(ReadOne(streams), -1) << "every track read or given up: the reader ends";
}

// A consumer may open its track just after the one of the next track opened its own: the
// reader waits for the earlier track, so the disc is read in order from its first chunk on.
TEST(TrackStreams, TheReaderNeverPassesATrackNotYetOpened) {
  TrackStreams streams({{0, 20}, {100, 20}}, kRing, kChunk, 1);
  streams.Open(1, 1);
  int first = -2;
  std::thread reader([&] { first = ReadOne(streams); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reader is waiting by now
  streams.Open(0, 1);
  reader.join();
  EXPECT_EQ(first, 0);
  EXPECT_EQ(ReadSome(streams, 5), (QList<int>{0, 0, 0, 1, 1}));
}

TEST(TrackStreams, APreparationPassReadsTheTrackTwiceInARow) {
  TrackStreams streams({{10, 3}}, kRing, kChunk, 1);
  streams.Open(0, 2);
  EXPECT_EQ(ReadSome(streams, 4), (QList<int>{0, 0, 0, 0}));
  QList<int> passes;
  for (int i = 0; i < 4; ++i) {
    const TrackStreams::Chunk* chunk = streams.Front(0);
    ASSERT_NE(chunk, nullptr);
    passes.append(chunk->pass * 100 + int(chunk->firstSector) * 10 + int(chunk->sectorCount));
    streams.Release(0);
  }
  EXPECT_EQ(passes, (QList<int>{102, 121, 202, 221})) << "pass, first sector, count";
  EXPECT_EQ(streams.Front(0), nullptr);
  EXPECT_EQ(ReadOne(streams), -1);
}

TEST(TrackStreams, CloseEndsBothSides) {
  TrackStreams streams({{0, 20}}, kRing, kChunk, 1);
  streams.Open(0, 1);
  EXPECT_EQ(ReadOne(streams), 0);
  streams.Close();
  EXPECT_EQ(streams.Front(0), nullptr) << "a closed run delivers nothing more";
  EXPECT_EQ(ReadOne(streams), -1);
}

}  // namespace
