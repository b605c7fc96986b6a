#include "rip/chunk_queue.h"

ChunkQueue::ChunkQueue(size_t slotCount, size_t chunkBytes) : slots_(slotCount) {
  for (Chunk& slot : slots_) slot.data.assign(chunkBytes, 0);
}

uint8_t* ChunkQueue::Acquire() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return closed_ || filled_ < slots_.size(); });
  if (closed_) return nullptr;
  return slots_[(head_ + filled_) % slots_.size()].data.data();
}

void ChunkQueue::Publish(uint32_t firstSector, uint32_t sectorCount) {
  {
    std::lock_guard lock(mutex_);
    Chunk& slot = slots_[(head_ + filled_) % slots_.size()];
    slot.firstSector = firstSector;
    slot.sectorCount = sectorCount;
    ++filled_;
  }
  changed_.notify_all();
}

void ChunkQueue::Finish() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

const ChunkQueue::Chunk* ChunkQueue::Front() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return closed_ || filled_ > 0 || finished_; });
  if (closed_ || filled_ == 0) return nullptr;
  return &slots_[head_];
}

void ChunkQueue::Release() {
  {
    std::lock_guard lock(mutex_);
    head_ = (head_ + 1) % slots_.size();
    --filled_;
  }
  changed_.notify_all();
}

void ChunkQueue::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}
