#include "rip/track_streams.h"

#include <algorithm>

TrackStreams::TrackStreams(std::vector<Range> ranges, size_t ringChunks, uint32_t chunkSectors,
                           size_t sectorBytes)
    : streams_(ranges.size()),
      ringChunks_(ringChunks),
      chunkSectors_(chunkSectors),
      sectorBytes_(sectorBytes) {
  for (size_t t = 0; t < ranges.size(); ++t) {
    streams_[t].range = ranges[t];
    streams_[t].chunkCount = (ranges[t].count + chunkSectors - 1) / chunkSectors;
  }
}

void TrackStreams::Open(int track, int passes) {
  {
    std::lock_guard lock(mutex_);
    Stream& stream = streams_[size_t(track)];
    if (stream.state != State::Waiting) return;
    stream.passes = std::max(passes, 1);
    stream.ring.resize(ringChunks_);
    for (Chunk& slot : stream.ring) slot.data.assign(size_t(chunkSectors_) * sectorBytes_, 0);
    stream.state = State::Open;
  }
  changed_.notify_all();
}

const TrackStreams::Chunk* TrackStreams::Front(int track) {
  std::unique_lock lock(mutex_);
  Stream& stream = streams_[size_t(track)];
  changed_.wait(lock, [&] { return closed_ || stream.filled > 0 || stream.AllRead(); });
  if (closed_ || stream.filled == 0) return nullptr;
  return &stream.ring[stream.head];
}

void TrackStreams::Release(int track) {
  {
    std::lock_guard lock(mutex_);
    Stream& stream = streams_[size_t(track)];
    stream.head = (stream.head + 1) % stream.ring.size();
    --stream.filled;
  }
  changed_.notify_all();
}

void TrackStreams::Done(int track) {
  {
    std::lock_guard lock(mutex_);
    Stream& stream = streams_[size_t(track)];
    stream.state = State::Done;
    stream.filled = 0;
    // A slot the reader fills now goes with its Publish.
    if (readerHeld_ != track) std::vector<Chunk>().swap(stream.ring);
  }
  changed_.notify_all();
}

bool TrackStreams::Readable(const Stream& stream, size_t roomBelow) const {
  return stream.state == State::Open && !stream.AllRead() && stream.filled < roomBelow;
}

int TrackStreams::ChooseTrack() {
  if (current_ >= 0 && Readable(streams_[size_t(current_)], ringChunks_)) return current_;
  const size_t halfFull = ringChunks_ / 2 + 1;
  for (size_t t = 0; t < streams_.size(); ++t) {
    // Consumers take tracks in disc order, so a track not yet opened before an open one is
    // about to be: waiting for it keeps the reads in disc order.
    if (streams_[t].state == State::Waiting) break;
    if (Readable(streams_[t], halfFull)) return current_ = int(t);
  }
  return -1;
}

bool TrackStreams::EverythingRead() const {
  return std::all_of(streams_.begin(), streams_.end(), [](const Stream& stream) {
    return stream.state == State::Done || (stream.state == State::Open && stream.AllRead());
  });
}

bool TrackStreams::NextRead(ReadTask& task) {
  std::unique_lock lock(mutex_);
  int track = -1;
  changed_.wait(lock, [&] {
    if (closed_ || EverythingRead()) return true;
    track = ChooseTrack();
    return track >= 0;
  });
  if (closed_ || track < 0) return false;
  Stream& stream = streams_[size_t(track)];
  const uint64_t chunk = stream.chunksRead % stream.chunkCount;
  const uint32_t offset = uint32_t(chunk * chunkSectors_);
  task.track = track;
  task.pass = int(stream.chunksRead / stream.chunkCount);
  task.lastPass = task.pass + 1 == stream.passes;
  task.sector = stream.range.first + offset;
  task.count = std::min(chunkSectors_, stream.range.count - offset);
  task.buffer = stream.ring[(stream.head + stream.filled) % ringChunks_].data.data();
  readerHeld_ = track;
  return true;
}

void TrackStreams::Publish(const ReadTask& task) {
  {
    std::lock_guard lock(mutex_);
    readerHeld_ = -1;
    Stream& stream = streams_[size_t(task.track)];
    if (stream.state == State::Done) {
      std::vector<Chunk>().swap(stream.ring);
    } else {
      Chunk& slot = stream.ring[(stream.head + stream.filled) % ringChunks_];
      slot.firstSector = task.sector;
      slot.sectorCount = task.count;
      slot.pass = task.pass;
      ++stream.filled;
      ++stream.chunksRead;
    }
  }
  changed_.notify_all();
}

void TrackStreams::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}
