#include "rip/track_worker.h"

#include <QDir>
#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "encoders/tag_record.h"
#include "platform/log.h"
#include "rip/chunk_queue.h"

namespace {
const QString kPrepareText = QStringLiteral("Prepare encoding...");
}  // namespace

TrackWorker::TrackWorker(CdDevice& device, const OutputFormat& format, const DiscInfo* disc)
    : format_(format), disc_(disc) {
  drive = &device;
}

TrackWorker::~TrackWorker() { Join(); }

int TrackWorker::StartTrack(int index, const QString& path, uint32_t firstOverride,
                            uint32_t lastOverride) {
  SetTrack(index, path, firstOverride, lastOverride);
  codec_ = format_.CreateEncoder();
  if (!codec_) return 0;
  return StartThread([this] { Run(); }) ? 1 : 0;
}

// The table of contents is asked before the drive is opened for reading: reading it
// may open and close the device itself.
void TrackWorker::Run() {
  Range range;
  if (!FindRange(range)) {
    Fail(QStringLiteral("track %1 is not on the disc").arg(trackIndex + 1));
  } else {
    int trackCount = 0;
    drive->GetTrackCount(trackCount);
    TagRecord tags;
    if (disc_) FillTagRecord(tags, *disc_, trackIndex);
    Encode(range, TrackFacts{trackIndex, trackCount, range.count}, disc_ ? &tags : nullptr);
  }
  if (statusCallback) statusCallback(StatusReport::Done(StatusKind::TrackProgress));
}

// The codec writes a temporary file beside the final one; only a track that was written
// whole, closed and not cancelled gets the final name. Anything else leaves the final name
// as it was (an earlier rip's file stays) and the temporary file goes.
void TrackWorker::Encode(const Range& range, const TrackFacts& facts, const TagRecord* tags) {
  PartFile file(outputPath);
  if (!file.Create()) {
    Fail(file.ErrorText());
    return;
  }
  drive->Open();
  bool written = codec_->Open(file.Path(), facts, tags);
  if (written && codec_->NeedsPreparationPass()) written = RunPass(range, true);
  if (written) written = RunPass(range, false);
  // Close also runs after a failed Open, where it touches nothing.
  if (!codec_->Close()) written = false;
  drive->Close();
  if (!written) {
    const QString why = codec_->ErrorText();
    Fail(QDir::toNativeSeparators(outputPath) + ": " +
         (why.isEmpty() ? QStringLiteral("the file could not be written") : why));
  } else if (!stopRequested) {
    if (file.Commit())
      outputPath = file.FinalPath();
    else
      Fail(file.ErrorText());
  }
}

// The track's sectors from the table of contents, each end replaced by its override when
// that is not 0. A one-sector track is read too.
bool TrackWorker::FindRange(Range& range) {
  int first = 0;
  int last = 0;
  if (!drive->GetTrackStart(trackIndex, first) || !drive->GetTrackEnd(trackIndex, last))
    return false;
  if (firstSectorOverride) first = int(firstSectorOverride);
  if (lastSectorOverride) last = int(lastSectorOverride);
  if (first > last) return false;
  range = {uint32_t(first), uint32_t(last - first + 1)};
  return true;
}

// Feeds the range to the codec chunk by chunk, in order, until done or stopped; false when
// the codec refused a chunk or the reading could not start. A reader thread reads ahead into
// a small ring while this thread encodes, so a rip costs about the longer of reading and
// encoding rather than their sum. Progress and speed follow what the codec has taken.
bool TrackWorker::RunPass(const Range& range, bool prepass) {
  const QString& text = prepass ? kPrepareText : outputPath;
  ChunkQueue queue(kReadAheadChunks, size_t(kChunkSectors) * kCdSectorBytes);
  std::thread reader;
  try {
    reader = std::thread([&] { ReadAhead(range, !prepass, queue); });
  } catch (const std::system_error&) {
    return false;
  }
  bool accepted = true;
  while (const ChunkQueue::Chunk* chunk = queue.Front()) {
    if (stopRequested) break;
    const uint32_t sector = chunk->firstSector;
    if (!codec_->Write(reinterpret_cast<const char*>(chunk->data.data()),
                       chunk->sectorCount * kCdSectorBytes, prepass)) {
      accepted = false;
      break;
    }
    queue.Release();
    Report((sector - range.first) * 100.0 / range.count, text);
    SampleSpeed(sector, kCdSectorBytes);
  }
  queue.Close();
  reader.join();
  ResetSpeedReference();
  return accepted;
}

// The reader thread of a pass: the range's chunks in order into the queue, until the end,
// a stop request or the consumer's close.
void TrackWorker::ReadAhead(const Range& range, bool countErrors, ChunkQueue& queue) {
  for (uint32_t done = 0; done < range.count; done += kChunkSectors) {
    uint8_t* chunk = queue.Acquire();
    if (!chunk) break;
    const uint32_t current = range.first + done;
    const int n = int(std::min<uint32_t>(kChunkSectors, range.count - done));
    const AudioReadOutcome read =
        ReadAudioOrSilence(*drive, int(current), n, chunk, &stopRequested);
    if (read.stopped) break;
    if (countErrors) failedSectors += read.silentSectors;
    queue.Publish(current, uint32_t(n));
  }
  queue.Finish();
}

void TrackWorker::Report(double value, const QString& text) {
  if (statusCallback)
    statusCallback(StatusReport::Progress(StatusKind::TrackProgress, value, text));
}
