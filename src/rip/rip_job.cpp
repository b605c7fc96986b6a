#include "rip/rip_job.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSet>
#include <algorithm>
#include <optional>
#include <span>
#include <system_error>

#include "drive/audio_reader.h"
#include "drive/cd_device.h"
#include "encoders/output_format.h"
#include "encoders/tag_record.h"
#include "metadata/accuraterip_client.h"
#include "metadata/current_disc.h"
#include "metadata/disc_info.h"
#include "platform/clock.h"
#include "platform/status_report.h"
#include "rip/checksum_consumer.h"
#include "rip/cover_file.h"
#include "rip/disc_image_writer.h"
#include "rip/image_writer_factory.h"
#include "rip/rip_log.h"
#include "rip/track_checksums.h"
#include "rip/track_file_writer.h"
#include "rip/track_streams.h"
#include "texts/language_manager.h"

// A track of the rip: what the codec threads need, made once by Start, and the counters the
// reader and the codecs share with the job (each written by one side).
struct RipJob::TrackWork {
  int index = 0;
  int ordinal = 0;
  QString path;
  TrackFacts facts;
  bool onDisc = true;
  QString folderError;  // why the track's folder could not be made; the track is not read
  std::optional<TagRecord> tags;
  std::atomic<int> passes{1};            // the codec's thread
  std::atomic<uint32_t> sectorsRead{0};  // the reader; over every pass
  std::atomic<int> silentSectors{0};     // the reader; the last pass only
  uint32_t firstSector = 0;
  // Where the track stands among the disc's audio tracks, for AccurateRip.
  int audioIndex = -1;
  bool firstAudio = false;
  bool lastAudio = false;
  // The reader's, the last pass only; read once the reader has been joined.
  int outsideFrames = 0;
  std::vector<int> rereadSectors;
  std::vector<int> suspiciousSectors;
  uint32_t testCrc32 = 0;  // secure reading: of the second reads
};

namespace {

int CodecThreadsFor(int asked, qsizetype trackCount) {
  const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
  const int threads = asked > 0 ? asked : cores;
  return int(std::clamp<qsizetype>(trackCount, 1, threads));
}

QString FirstError(const std::vector<std::unique_ptr<PcmConsumer>>& consumers) {
  for (const auto& consumer : consumers) {
    if (!consumer->ErrorText().isEmpty()) return consumer->ErrorText();
  }
  return {};
}

TrackOutcome FailedOutcome(int trackIndex, const QString& path, const QString& why) {
  TrackOutcome outcome;
  outcome.trackIndex = trackIndex;
  outcome.path = path;
  outcome.failed = true;
  outcome.errorText = why;
  return outcome;
}

TrackOutcome NotStarted(int trackIndex, const QString& path) {
  return FailedOutcome(trackIndex, path, path + QStringLiteral(": the work could not be started"));
}

// The disc's audio tracks (0-based track indexes), in disc order.
std::vector<int> AudioTrackIndexes(CdDevice& device, int trackCount) {
  std::vector<int> audio;
  for (int i = 0; i < trackCount; ++i) {
    bool data = false;
    if (device.IsDataTrack(i, data) && !data) audio.push_back(i);
  }
  return audio;
}

// A stretch of the disc the rip reads into one file.
struct DiscSpan {
  int trackIndex = 0;  // kHiddenTrackIndex for the audio before track 1's INDEX 01
  bool onDisc = false;
  TrackStreams::Range range;
};

// Each track from its INDEX 01 to its end, where the database counts it; before a first
// track whose INDEX 01 lies past its start, that pregap as the hidden track, kept only when
// it holds sound. Tracks in the order given.
std::vector<DiscSpan> SpansToRip(CdDevice& device, const QList<int>& tracks) {
  std::vector<DiscSpan> spans;
  for (int index : tracks) {
    int start = 0;
    int first = 0;
    int last = 0;
    bool data = true;
    const bool onDisc = device.GetTrackStart(index, start) &&
                        device.GetTrackIndex01(index, first) && device.GetTrackEnd(index, last) &&
                        first <= last;
    if (onDisc && start < first && device.IsDataTrack(index, data) && !data)
      spans.push_back({kHiddenTrackIndex, true, {uint32_t(start), uint32_t(first - start)}});
    spans.push_back({index, onDisc,
                     onDisc ? TrackStreams::Range{uint32_t(first), uint32_t(last - first + 1)}
                            : TrackStreams::Range{}});
  }
  return spans;
}

// Whether the PCM holds anything but digital silence.
bool HoldsSound(std::span<const uint8_t> pcm) {
  return std::any_of(pcm.begin(), pcm.end(), [](uint8_t byte) { return byte != 0; });
}

// The reason a run fails before it starts when its folder could not be made: the folder and
// the system's reason.
QString FolderNotCreated(const OutputPath& output) {
  return QStringLiteral("%1 %2: %3")
      .arg(LanguageManager::Instance().Text(kCantCreateDirectoryTextId),
           QDir::toNativeSeparators(QFileInfo(output.path).path()), output.folderError);
}

}  // namespace

RipJob::RipJob(QObject* parent) : QObject(parent) {}

RipJob::~RipJob() {
  Cancel();
  for (std::thread& thread : threads_) thread.join();
  if (imageWriter_) imageWriter_->Join();
}

bool RipJob::Start(const RipRequest& request) {
  if (running_ || !request.device || !request.format) return false;
  format_ = request.format;
  device_ = request.device;
  work_.clear();
  streams_.reset();
  imageWriter_.reset();
  stop_ = 0;
  abortFetch_ = false;
  secure_ = request.secure;
  verifyServer_ = request.verifyServer;
  discId_.reset();
  answer_.reset();
  nextWork_ = 0;
  bytesRead_ = 0;
  bytesDone_ = 0;
  runAnnounced_ = -1;
  firstReadTick_ = 0;
  totalBytes_ = 0;
  imagePercent_ = 0;
  run_ = {};
  result_ = {};
  finished_ = false;
  running_ = true;
  const bool threadsStarted = format_->IsTrackFormat() ? StartTracks(request) : StartImage(request);
  if (!threadsStarted) Post([this] { Finish(); });
  return true;
}

// The names, ranges and tags of every track are settled here, before any thread runs: the
// table of contents may open and close the device, which the reader then has to itself.
bool RipJob::StartTracks(const RipRequest& request) {
  int trackCount = 0;
  device_->GetTrackCount(trackCount);
  DiscInfo blank;
  if (!request.disc) blank.ResetToDefaults(trackCount);
  const DiscInfo& disc = request.disc ? *request.disc : blank;
  discId_ = AccurateRipIdOf(*device_);
  if (discId_) result_.accurateRipId = discId_->Text();
  result_.readOffset = device_->readOffset;
  result_.secure = secure_;
  logHead_ = RipLogHead(*device_, request.driveName, *format_, secure_);
  const std::vector<int> audio = AudioTrackIndexes(*device_, trackCount);
  std::vector<TrackStreams::Range> ranges;
  QSet<QString> takenThisRun;
  for (const DiscSpan& span : SpansToRip(*device_, request.tracks)) {
    const int index = span.trackIndex;
    auto work = std::make_unique<TrackWork>();
    work->index = index;
    work->ordinal = int(work_.size()) + 1;
    const OutputPath output = BuildTrackPath(index, *format_, disc, request.naming);
    work->path = UniqueInRun(output.path, takenThisRun);
    if (!output.folderReady) work->folderError = FolderNotCreated(output);
    work->onDisc = span.onDisc;
    const TrackStreams::Range range =
        work->onDisc && output.folderReady ? span.range : TrackStreams::Range{};
    work->facts = TrackFacts{index, trackCount, range.count};
    work->firstSector = range.first;
    const auto audioAt = std::find(audio.begin(), audio.end(), index);
    if (audioAt != audio.end()) {
      work->audioIndex = int(audioAt - audio.begin());
      work->firstAudio = work->audioIndex == 0;
      work->lastAudio = work->audioIndex + 1 == int(audio.size());
    }
    if (request.disc) {
      work->tags.emplace();
      FillTagRecord(*work->tags, disc, index);
      FillSlot(*work->tags, TagRecord::Title, TrackTitle(disc, index));
      FillSlot(*work->tags, TagRecord::Artist, TrackArtist(disc, index));
    }
    totalBytes_ += int64_t(range.count) * kCdSectorBytes;
    ranges.push_back(range);
    work_.push_back(std::move(work));
  }
  coverFile_ = request.coverFile;
  streams_ = std::make_unique<TrackStreams>(std::move(ranges), kReadAheadChunks, kChunkSectors,
                                            kCdSectorBytes);
  if (work_.empty()) return false;
  if (StartThreads(CodecThreadsFor(request.encoderThreads, request.tracks.size()))) {
    StartVerification();
    return true;
  }
  for (const auto& work : work_) result_.outcomes.append(NotStarted(work->index, work->path));
  return false;
}

// Once per album folder that a track of this rip was written into: a rip that wrote nothing
// there leaves no cover behind either.
void RipJob::SaveCoverFiles() {
  if (coverFile_.IsEmpty()) return;
  QSet<QString> folders;
  for (const TrackOutcome& outcome : result_.outcomes) {
    if (outcome.trackIndex != kDiscImageIndex && !outcome.failed)
      folders.insert(QFileInfo(outcome.path).path());
  }
  for (const QString& folder : folders) {
    const QString note = SaveCoverFile(folder, coverFile_);
    if (!note.isEmpty()) result_.notes.append(note);
  }
}

bool RipJob::StartThreads(int codecThreads) {
  try {
    threads_.emplace_back([this] { ReadTracks(); });
    threadsRunning_ = 1;
    for (int i = 0; i < codecThreads; ++i) {
      threads_.emplace_back([this] { EncodeTracks(); });
      ++threadsRunning_;
    }
  } catch (const std::system_error&) {
    if (threadsRunning_ > 1) return true;  // fewer codecs at once, still every track
    Cancel();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
    threadsRunning_ = 0;
    return false;
  }
  return true;
}

bool RipJob::StartImage(const RipRequest& request) {
  const OutputPath output = BuildImagePath(*format_, request.volumeLabel, request.naming);
  const QString& path = output.path;
  if (!output.folderReady) {
    result_.outcomes.append(FailedOutcome(kDiscImageIndex, path, FolderNotCreated(output)));
    return false;
  }
  imageWriter_ = CreateDiscImageWriter(format_->TypeId());
  if (imageWriter_) {
    imageWriter_->drive = device_;
    imageWriter_->statusCallback = [this](StatusReport report) {
      Post([this, report] { OnImageReport(report); });
    };
    run_ = {path, 0, 1, 1};
    Post([this] { emit RunStarted(run_); });
    threadsRunning_ = 1;
    if (imageWriter_->StartImage(path)) return true;
  }
  threadsRunning_ = 0;
  imageWriter_.reset();
  result_.outcomes.append(NotStarted(kDiscImageIndex, path));
  return false;
}

void RipJob::Cancel() {
  if (!running_) return;
  stop_ = 1;
  abortFetch_ = true;
  if (streams_) streams_->Close();
  if (imageWriter_) imageWriter_->stopRequested = 1;
}

// The reader thread: one chunk at a time, of the track the streams choose, until every
// track is read or the rip is cancelled.
void RipJob::ReadTracks() {
  device_->Open();
  TrackStreams::ReadTask task;
  std::vector<uint8_t> secondRead(secure_ ? size_t(kChunkSectors) * kCdSectorBytes : 0);
  while (!stop_ && streams_->NextRead(task)) {
    TrackWork& work = *work_[size_t(task.track)];
    if (task.track > runAnnounced_) AnnounceRun(task.track);
    if (firstReadTick_ == 0) firstReadTick_ = MonotonicMs();
    const AudioReadOutcome read =
        secure_
            ? ReadAudioSecurely(*device_, int(task.sector), int(task.count), task.buffer, &stop_,
                                secondRead.data())
            : ReadAudioOrSilence(*device_, int(task.sector), int(task.count), task.buffer, &stop_);
    if (read.stopped) break;
    if (task.lastPass) {
      if (secure_) {
        work.testCrc32 =
            Crc32Continued(work.testCrc32, secondRead.data(), size_t(task.count) * kCdSectorBytes);
      }
      work.silentSectors += read.silentSectors;
      work.outsideFrames += read.outsideFrames;
      work.rereadSectors.insert(work.rereadSectors.end(), read.rereadSectors.begin(),
                                read.rereadSectors.end());
      work.suspiciousSectors.insert(work.suspiciousSectors.end(), read.suspiciousSectors.begin(),
                                    read.suspiciousSectors.end());
    }
    work.sectorsRead += task.count;
    bytesRead_ += int64_t(task.count) * kCdSectorBytes;
    streams_->Publish(task);
    PostProgress();
  }
  device_->Close();
  Post([this] { ThreadEnded(); });
}

// The database is asked on a thread of its own from the start, so that each track's verdict
// is known as soon as the track is; a slow or silent server holds up the end of the rip by
// the network's time-outs at most.
void RipJob::StartVerification() {
  if (!Verifies()) return;
  try {
    threads_.emplace_back([this] { FetchVerification(); });
    ++threadsRunning_;
  } catch (const std::system_error& error) {
    AccurateRipAnswer unasked;
    unasked.error = QStringLiteral("the request could not be started: %1").arg(error.what());
    Post([this, unasked] { OnAnswer(unasked); });
  }
}

// The database's answer for the disc, asked once for every track. A cancel ends the request,
// and a cancelled rip takes no answer: an aborted request is not the database's word.
void RipJob::FetchVerification() {
  const AccurateRipAnswer answer = FetchAccurateRip(*verifyServer_, *discId_, &abortFetch_);
  Post([this, answer] {
    if (!stop_) OnAnswer(answer);
    ThreadEnded();
  });
}

void RipJob::OnAnswer(const AccurateRipAnswer& answer) {
  answer_ = answer;
  if (!answer.Usable()) result_.verifyError = answer.error;
  for (TrackOutcome& outcome : result_.outcomes) Verify(outcome);
}

void RipJob::AddOutcome(const TrackOutcome& outcome) {
  result_.outcomes.append(outcome);
  Verify(result_.outcomes.last());
}

// The database's word on a track once both its checksums and the answer are in.
void RipJob::Verify(TrackOutcome& outcome) {
  if (!answer_ || !outcome.checksummed || outcome.verdict) return;
  const TrackWork* work = WorkOf(outcome.trackIndex);
  if (!work || work->audioIndex < 0) return;
  outcome.verdict = answer_->Usable() ? VerifyTrack(*answer_, work->audioIndex,
                                                    outcome.accurateRipV1, outcome.accurateRipV2)
                                      : TrackVerdict{};
  emit TrackVerified(outcome.trackIndex + 1, *outcome.verdict);
}

// A codec thread: the next track nobody has taken, until none is left or the rip is
// cancelled.
void RipJob::EncodeTracks() {
  for (int work = nextWork_++; work < int(work_.size()) && !stop_; work = nextWork_++) {
    EncodeTrack(work);
  }
  Post([this] { ThreadEnded(); });
}

void RipJob::EncodeTrack(int index) {
  TrackWork& work = *work_[size_t(index)];
  TrackOutcome outcome;
  outcome.trackIndex = work.index;
  outcome.path = work.path;
  std::unique_ptr<AudioEncoder> codec;
  if (work.onDisc && work.folderError.isEmpty()) {
    std::lock_guard lock(codecMaking_);
    codec = format_->CreateEncoder();
  }
  if (!codec) {
    streams_->Done(index);
    if (!work.onDisc) {
      outcome = FailedOutcome(work.index, work.path,
                              QStringLiteral("track %1 is not on the disc").arg(work.index + 1));
    } else if (!work.folderError.isEmpty()) {
      outcome = FailedOutcome(work.index, work.path, work.folderError);
    } else {
      outcome = NotStarted(work.index, work.path);
    }
    Post([this, outcome] { AddOutcome(outcome); });
    return;
  }
  // The consumers of the track's PCM: its output file and its checksums.
  auto file = std::make_unique<TrackFileWriter>(work.path, std::move(codec), work.tags);
  const TrackFileWriter& output = *file;
  auto checksums = std::make_unique<ChecksumConsumer>(work.firstAudio, work.lastAudio);
  const ChecksumConsumer& sums = *checksums;
  std::vector<std::unique_ptr<PcmConsumer>> consumers;
  consumers.push_back(std::move(file));
  consumers.push_back(std::move(checksums));
  bool ok = std::all_of(consumers.begin(), consumers.end(),
                        [&](const auto& consumer) { return consumer->Begin(work.facts); });
  const bool prepass = std::any_of(consumers.begin(), consumers.end(), [](const auto& consumer) {
    return consumer->NeedsPreparationPass();
  });
  work.passes = prepass ? 2 : 1;
  uint32_t mainSectors = 0;
  bool sound = false;
  if (ok) streams_->Open(index, work.passes);
  while (const TrackStreams::Chunk* chunk = ok ? streams_->Front(index) : nullptr) {
    if (stop_) break;
    const bool preparing = chunk->pass + 1 < work.passes;
    const std::span<const uint8_t> pcm(chunk->data.data(),
                                       size_t(chunk->sectorCount) * kCdSectorBytes);
    for (const auto& consumer : consumers) ok = ok && consumer->Consume(pcm, preparing);
    if (!ok) break;
    if (!preparing) {
      sound = sound || HoldsSound(pcm);
      mainSectors += chunk->sectorCount;
      bytesDone_ += int64_t(pcm.size());
    }
    streams_->Release(index);
    PostProgress();
  }
  streams_->Done(index);
  const bool complete = ok && !stop_ && mainSectors == work.facts.sectorCount;
  // A hidden track of digital silence is no track: its file is not kept.
  const bool silentHidden = complete && work.index == kHiddenTrackIndex && !sound;
  for (const auto& consumer : consumers) consumer->Finish(complete && !silentHidden);
  if (silentHidden) return;
  outcome.path = output.FinalPath();  // another when a file took the name meanwhile
  outcome.errorText = FirstError(consumers);
  outcome.failed = !outcome.errorText.isEmpty();
  outcome.failedSectors = work.silentSectors;
  if (complete) {
    outcome.checksummed = true;
    outcome.crc32 = sums.Sums().Crc32();
    outcome.accurateRipV1 = sums.Sums().AccurateRipV1();
    outcome.accurateRipV2 = sums.Sums().AccurateRipV2();
  }
  // A track cut off by a cancel has no outcome: it was neither written nor did it fail.
  if (complete || outcome.failed) Post([this, outcome] { AddOutcome(outcome); });
}

const RipJob::TrackWork* RipJob::WorkOf(int trackIndex) const {
  const auto work = std::find_if(work_.begin(), work_.end(),
                                 [&](const auto& w) { return w->index == trackIndex; });
  return work == work_.end() ? nullptr : work->get();
}

// What the reader found of the track; the reader has been joined.
void RipJob::AddReadFacts(TrackOutcome& outcome) const {
  const TrackWork* work = WorkOf(outcome.trackIndex);
  if (!work) return;
  outcome.firstSector = work->firstSector;
  outcome.sectorCount = work->facts.sectorCount;
  outcome.outsideFrames = work->outsideFrames;
  outcome.rereadSectors = work->rereadSectors;
  outcome.suspiciousSectors = work->suspiciousSectors;
  if (secure_ && outcome.checksummed) outcome.testCrc32 = work->testCrc32;
}

// Into the folder of the first track written; nothing when no track was.
void RipJob::WriteLog() {
  const auto written = std::find_if(result_.outcomes.begin(), result_.outcomes.end(),
                                    [](const TrackOutcome& outcome) { return !outcome.failed; });
  if (written == result_.outcomes.end()) return;
  result_.logPath =
      WriteRipLog(RipLogPath(written->path), RipLogText(logHead_, result_), &result_.logError);
}

void RipJob::OnImageReport(const StatusReport& report) {
  if (report.IsDone()) {
    ThreadEnded();
    return;
  }
  imagePercent_ = report.value;
  SendProgress();
}

void RipJob::Post(std::function<void()> call) { calls_.Post(std::move(call)); }

// At most one progress call waits in the event loop: a fast rip does not flood it.
void RipJob::PostProgress() {
  if (!progressPosted_.exchange(true)) Post([this] { SendProgress(); });
}

void RipJob::AnnounceRun(int index) {
  runAnnounced_ = index;
  const TrackWork& work = *work_[size_t(index)];
  const RipRun run{work.path, work.index + 1, work.ordinal, int(work_.size())};
  Post([this, run] {
    if (run_.ordinal > 0) SendProgress();  // where the run before it ended
    run_ = run;
    emit RunStarted(run_);
  });
}

void RipJob::SendProgress() {
  progressPosted_ = false;
  RipProgress progress;
  if (imageWriter_) {
    progress.runPercent = progress.totalPercent = imagePercent_;
    progress.speed = imageWriter_->speed;
    progress.failedSectors = imageWriter_->failedSectors;
    emit Progress(progress);
    return;
  }
  // The run on display: its own reading, even while the reader has gone on to the next.
  if (run_.ordinal > 0) {
    const TrackWork& work = *work_[size_t(run_.ordinal - 1)];
    const double sectors = double(work.facts.sectorCount) * work.passes;
    progress.runPercent = sectors > 0 ? work.sectorsRead * 100.0 / sectors : 0;
    progress.preparing = work.passes > 1 && work.sectorsRead < work.facts.sectorCount;
  }
  progress.totalPercent = totalBytes_ > 0 ? bytesDone_ * 100.0 / double(totalBytes_) : 0;
  const uint64_t first = firstReadTick_;
  const uint64_t elapsed = first ? MonotonicMs() - first : 0;
  progress.speed = elapsed > 0 ? double(bytesRead_) / double(elapsed) : 0;
  for (const auto& work : work_) progress.failedSectors += work->silentSectors;
  emit Progress(progress);
}

void RipJob::ThreadEnded() {
  if (--threadsRunning_ == 0) Finish();
}

// Every thread has said its last word; the joins wait for their return only.
void RipJob::Finish() {
  if (finished_) return;
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  if (imageWriter_) {
    imageWriter_->Join();
    // The image takes another name when a file took its name meanwhile.
    TrackOutcome image =
        FailedOutcome(kDiscImageIndex, imageWriter_->outputPath, imageWriter_->errorText);
    image.failed = imageWriter_->failed;
    image.failedSectors = imageWriter_->failedSectors;
    result_.outcomes.append(image);
    // The writer's last report comes before its last chunk.
    if (!imageWriter_->failed && !stop_) imagePercent_ = 100;
  }
  for (TrackOutcome& outcome : result_.outcomes) AddReadFacts(outcome);
  // The last run's end: a run read whole shows 100 %.
  if (run_.ordinal > 0) SendProgress();
  std::stable_sort(
      result_.outcomes.begin(), result_.outcomes.end(),
      [](const TrackOutcome& a, const TrackOutcome& b) { return a.trackIndex < b.trackIndex; });
  result_.status = stop_ ? RipResult::Status::Cancelled : RipResult::Status::Done;
  if (!imageWriter_ && !stop_) {
    SaveCoverFiles();
    WriteLog();
  }
  streams_.reset();
  running_ = false;
  finished_ = true;
  emit Finished(result_);
}
