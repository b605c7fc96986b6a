#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// A bounded queue of read chunks between the thread that reads a track and the thread that
// encodes it: a fixed ring of slots allocated once, filled in order by the reader and
// consumed in the same order, so reading runs ahead of encoding by at most the ring's size.
// Either side may end the run: the reader with Finish (no more chunks), the consumer with
// Close (stop now; the reader's next Acquire returns null).
class ChunkQueue {
 public:
  struct Chunk {
    uint32_t firstSector = 0;
    uint32_t sectorCount = 0;
    std::vector<uint8_t> data;  // chunkBytes long; the first sectorCount sectors are the chunk's
  };

  ChunkQueue(size_t slotCount, size_t chunkBytes);

  // Reader: the next free slot's buffer, waiting while the ring is full; null once closed.
  uint8_t* Acquire();
  // Reader: hands the slot taken by Acquire to the consumer.
  void Publish(uint32_t firstSector, uint32_t sectorCount);
  // Reader: no more chunks will come.
  void Finish();

  // Consumer: the oldest chunk, waiting until one is there; null when the reader finished
  // and everything was consumed, or the queue was closed.
  const Chunk* Front();
  // Consumer: gives the front chunk's slot back to the reader.
  void Release();
  // Consumer: ends the run; wakes a reader waiting for a slot.
  void Close();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Chunk> slots_;
  size_t head_ = 0;  // oldest filled slot
  size_t filled_ = 0;
  bool finished_ = false;
  bool closed_ = false;
};
