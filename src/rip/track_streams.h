#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// The read chunks of a rip's tracks on their way from the one reader to each track's
// consumer. Every track that a consumer has opened gets a bounded ring of chunks, filled in
// order by the reader and emptied in the same order by the track's consumer; the ring goes
// when the consumer is done, so the memory is the open tracks' rings whatever the disc's
// length.
//
// The reader reads one chunk at a time (the drive has one head). It stays on the track it
// reads while that track's ring has room, so a reader slower than the consumers reads the
// disc in order; when that ring is full it moves to the first open track whose ring is at
// most half full, so a reader faster than one consumer keeps several consumers busy and
// changes track only every half a ring. It never passes a track that no consumer has opened
// yet: consumers open tracks in disc order, so the reader waits for the earlier one.
//
// Either side may end the run: Close wakes every wait, after which the reader gets no more
// work and each consumer's next Front returns null.
class TrackStreams {
 public:
  struct Range {
    uint32_t first = 0;
    uint32_t count = 0;
  };
  struct Chunk {
    uint32_t firstSector = 0;
    uint32_t sectorCount = 0;
    int pass = 0;               // 0-based; of the pass count given to Open
    std::vector<uint8_t> data;  // the chunk's sectors first; the buffer is a whole chunk long
  };
  // A chunk for the reader to read: count sectors from sector into buffer.
  struct ReadTask {
    int track = -1;
    int pass = 0;
    bool lastPass = true;
    uint32_t sector = 0;
    uint32_t count = 0;
    uint8_t* buffer = nullptr;
  };

  // One range per track, in the order the tracks are ripped.
  TrackStreams(std::vector<Range> ranges, size_t ringChunks, uint32_t chunkSectors,
               size_t sectorBytes);

  // Consumer: the track's ring is made and the reader may read it, passes times in a row.
  void Open(int track, int passes);
  // Consumer: the oldest chunk of the track, waiting until one is there; null when the track
  // was read whole and consumed, or the streams were closed.
  const Chunk* Front(int track);
  // Consumer: gives the front chunk's slot back to the reader.
  void Release(int track);
  // Consumer: done with the track, read whole or not (also for a track never opened); the
  // reader reads no more of it and its ring goes.
  void Done(int track);

  // Reader: the next chunk to read, waiting for room; false once every track is read or
  // done, or the streams were closed.
  bool NextRead(ReadTask& task);
  // Reader: the chunk of NextRead is read and goes to its consumer.
  void Publish(const ReadTask& task);

  // Ends the run for both sides.
  void Close();

 private:
  enum class State { Waiting, Open, Done };
  struct Stream {
    Range range;
    State state = State::Waiting;
    int passes = 1;
    uint64_t chunksRead = 0;  // over every pass
    uint64_t chunkCount = 0;  // a pass's chunks
    std::vector<Chunk> ring;
    size_t head = 0;
    size_t filled = 0;
    bool AllRead() const { return chunksRead == chunkCount * uint64_t(passes); }
  };

  bool Readable(const Stream& stream, size_t roomBelow) const;
  int ChooseTrack();
  bool EverythingRead() const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Stream> streams_;
  size_t ringChunks_;
  uint32_t chunkSectors_;
  size_t sectorBytes_;
  int current_ = -1;     // the track the reader reads
  int readerHeld_ = -1;  // the track whose slot the reader fills now
  bool closed_ = false;
};
