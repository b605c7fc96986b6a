#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "metadata/accuraterip.h"
#include "metadata/cover_store.h"
#include "platform/call_queue.h"
#include "rip/output_naming.h"

class CdDevice;
class DiscImageWriter;
class DiscInfo;
class OutputFormat;
class TrackStreams;
struct StatusReport;

// Everything a rip needs, handed over once.
struct RipRequest {
  // The drive to read; the caller holds it (a DriveClaim) until the job has finished.
  CdDevice* device = nullptr;
  // The output format: a track format rips tracks, a disc-image format the whole disc.
  std::shared_ptr<const OutputFormat> format;
  QList<int> tracks;  // 0-based audio tracks, in disc order; unused for a disc image
  NamingSettings naming;
  // Names and tags, read while Start runs only; null names the files by number, untagged.
  const DiscInfo* disc = nullptr;
  QString volumeLabel;     // names a disc image
  int encoderThreads = 0;  // tracks encoded at once; 0 = one per processor core
  CoverImage coverFile;    // saved into each album folder of the tracks; empty for none
  bool secure = false;     // each chunk read until two reads agree (ReadAudioSecurely)
  QString driveName;       // for the rip log
  // The AccurateRip database the tracks are verified against, asked once while the disc is
  // read; none: no verification.
  std::optional<QString> verifyServer;
};

// What the progress display shows while a run is read: a track (or the disc image).
struct RipRun {
  QString path;
  int trackNumber = 0;  // 1-based; 0 for a disc image and for the hidden track
  int ordinal = 0;      // this run's place among the runs of the rip, 1-based
  int runCount = 0;
};

struct RipProgress {
  double runPercent = 0;    // of the run being read
  double totalPercent = 0;  // of the whole rip's audio, encoded and written
  double speed = 0;         // bytes read a millisecond, over the rip so far
  int failedSectors = 0;    // read errors so far, written as silence
  bool preparing = false;   // the run is read for its codec's preparation pass
};

// The trackIndex of a disc image's outcome.
constexpr int kDiscImageIndex = -2;

// How one track (or the image) ended.
struct TrackOutcome {
  // 0-based; kHiddenTrackIndex for the audio before track 1's INDEX 01, kDiscImageIndex for
  // a disc image.
  int trackIndex = kDiscImageIndex;
  QString path;
  int failedSectors = 0;  // read errors, written as silence
  bool failed = false;    // the file could not be created, written or closed
  QString errorText;      // why it failed, naming the file or folder
  // Frames the read offset's correction put where the drive gives no audio (before the
  // disc's start, past its end): silence, so the track keeps its length.
  int outsideFrames = 0;
  uint32_t firstSector = 0;  // where the track was read on the disc
  uint32_t sectorCount = 0;
  // Secure reading: sectors (by address) read again because two reads differed, and those
  // that never read the same twice and were taken from the most frequent version.
  std::vector<int> rereadSectors;
  std::vector<int> suspiciousSectors;
  // The copy CRC32 and AccurateRip checksums of the track as written; checksummed is false
  // for a track that was not read whole (and for a disc image).
  bool checksummed = false;
  uint32_t crc32 = 0;
  uint32_t accurateRipV1 = 0;
  uint32_t accurateRipV2 = 0;
  // Secure reading: the CRC32 of the track as its second reads gave it, before re-reads
  // settled where they differed from the first (the copy CRC is of what was kept).
  std::optional<uint32_t> testCrc32;
  std::optional<TrackVerdict> verdict;  // the database's word; none when not verified
};

struct RipResult {
  // Pending: nothing ripped yet; the rip starts by itself later (the tray was open and a
  // disc is awaited, or another rip was running). NoDrive: no drive, or no readable disc in
  // it. Unavailable: the format cannot be written. Busy: another use holds the drive.
  // NotAllowed: the disc does not allow the format (an ISO image of an audio CD).
  enum class Status { Done, Cancelled, Pending, NoDrive, Unavailable, Busy, NotAllowed };
  // A rip that ended before anything was read.
  static RipResult Ended(Status status, const QString& message = {}) {
    RipResult result;
    result.status = status;
    result.message = message;
    return result;
  }
  Status status = Status::Done;
  QString message;               // why, for Unavailable and Busy
  QList<TrackOutcome> outcomes;  // in disc order; a track cut off by a cancel has none
  QStringList notes;             // what went amiss beside the tracks: the cover file
  QString accurateRipId;         // the disc's identity in the database; empty without audio
  int readOffset = 0;            // the drive's read offset the reads corrected, in frames
  bool secure = false;           // the reads were secure ones
  // Why the tracks' verification is "unavailable" (the database could not be reached, or
  // gave an answer that is not this disc's); empty otherwise.
  QString verifyError;
  // The rip log in the album folder ("<folder name>.log"), once a track was written; or why
  // it could not be written.
  QString logPath;
  QString logError;
};

// One rip: the tracks of a request (or the whole disc to an image) from the drive to the
// output files. One reader thread reads the disc in order, a chunk at a time, into bounded
// buffers of the tracks being encoded (TrackStreams); up to encoderThreads codec threads
// each take the next track, feed its PCM to the track's consumers and end it, so tracks
// finish in any order. The job lives on the user-interface thread: its threads report to it
// by queued calls, and it joins them all before it reports the end, exactly once.
class RipJob : public QObject {
  Q_OBJECT
 public:
  static constexpr uint32_t kChunkSectors = 27;
  static constexpr size_t kReadAheadChunks = 16;  // about 1 MB read ahead of each codec

  explicit RipJob(QObject* parent = nullptr);
  // Cancels a running rip and waits for its threads; no Finished is sent then.
  ~RipJob() override;

  // Starts the rip; false (and nothing sent) when one is already running or the request
  // names no drive or format. The end always comes as Finished, later, from the event loop.
  bool Start(const RipRequest& request);
  // Stops every thread before its next read or chunk; unfinished files are not kept. Any
  // thread may call it.
  // Finished (Cancelled) follows once they have all stopped.
  void Cancel();

  bool IsRunning() const { return running_; }
  bool IsFinished() const { return finished_; }
  // The end of the last rip, once Finished was sent.
  const RipResult& Result() const { return result_; }
  // The run read now, for a display that comes after RunStarted.
  const RipRun& CurrentRun() const { return run_; }
  // The started rip's tracks are verified against the database (TrackVerified follows).
  bool Verifies() const { return verifyServer_ && discId_; }

 signals:
  void RunStarted(const RipRun& run);
  void Progress(const RipProgress& progress);
  // A track's verdict (1-based track number), as soon as both its checksums and the
  // database's answer are known; the same verdict its outcome carries at the end.
  void TrackVerified(int trackNumber, const TrackVerdict& verdict);
  void Finished(const RipResult& result);

 private:
  struct TrackWork;

  bool StartTracks(const RipRequest& request);
  bool StartImage(const RipRequest& request);
  void SaveCoverFiles();
  bool StartThreads(int codecThreads);
  void ReadTracks();
  void StartVerification();
  void FetchVerification();
  void OnAnswer(const AccurateRipAnswer& answer);
  void AddOutcome(const TrackOutcome& outcome);
  void Verify(TrackOutcome& outcome);
  const TrackWork* WorkOf(int trackIndex) const;
  void AddReadFacts(TrackOutcome& outcome) const;
  void WriteLog();
  void EncodeTracks();
  void EncodeTrack(int work);
  void OnImageReport(const StatusReport& report);

  // Queued calls from the threads.
  void Post(std::function<void()> call);
  void PostProgress();
  void AnnounceRun(int work);
  void ThreadEnded();
  void SendProgress();
  void Finish();

  std::shared_ptr<const OutputFormat> format_;
  CdDevice* device_ = nullptr;
  std::vector<std::unique_ptr<TrackWork>> work_;
  std::unique_ptr<TrackStreams> streams_;
  std::unique_ptr<DiscImageWriter> imageWriter_;
  std::vector<std::thread> threads_;
  std::mutex codecMaking_;  // a format makes one codec at a time
  std::atomic<int> nextWork_{0};
  std::atomic<int> stop_{0};
  std::atomic<bool> abortFetch_{false};  // ends a verification's request on a cancel
  bool secure_ = false;
  std::optional<QString> verifyServer_;
  std::optional<AccurateRipId> discId_;
  std::optional<AccurateRipAnswer> answer_;  // once the verification's thread has handed it over
  QStringList logHead_;                      // the rip log's head, taken at the start
  std::atomic<bool> progressPosted_{false};
  std::atomic<int64_t> bytesRead_{0};
  std::atomic<int64_t> bytesDone_{0};
  std::atomic<int> runAnnounced_{-1};
  std::atomic<uint64_t> firstReadTick_{0};
  int64_t totalBytes_ = 0;
  double imagePercent_ = 0;
  int threadsRunning_ = 0;
  std::atomic<bool> running_{false};  // Cancel may come from any thread
  bool finished_ = false;
  RipRun run_;
  CoverImage coverFile_;
  CallQueue calls_;
  RipResult result_;
};
