// The rip job on the virtual drive with a codec that records what it is fed: one new codec
// per track, the chunks and their order, the track's facts and tags, the preparation pass
// only for a codec that asks for it, a codec's failure with its reason, cancel, and the
// same files whether one codec works or several at once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <QTimer>

#include "drive/virtual/virtual_drive.h"
#include "encoders/lossy_audio.h"
#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "encoders/tag_record.h"
#include "encoders/wav_encoder.h"
#include "metadata/disc_info.h"
#include "rip/rip_job.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

constexpr uint32_t kSector = kCdSectorBytes;

// What one codec object saw.
struct CodecLog {
  QString path;
  TrackFacts facts;
  bool hadTags = false;
  QString title;
  QList<uint32_t> mainWrites;  // byte counts, in order
  QByteArray mainPcm;
  QByteArray prepassPcm;
  int closes = 0;
};

class RecordingCodec : public AudioEncoder {
 public:
  using WriteHook = std::function<void(qsizetype writeIndex)>;
  RecordingCodec(CodecLog& log, bool prepass, bool failOpen, int failWriteAt, WriteHook beforeWrite)
      : log_(log),
        prepass_(prepass),
        failOpen_(failOpen),
        failWriteAt_(failWriteAt),
        beforeWrite_(beforeWrite) {}
  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override {
    log_.path = path;
    log_.facts = track;
    log_.hadTags = tags != nullptr;
    if (tags) log_.title = tags->Wide(TagRecord::Title);
    return failOpen_ ? 0 : 1;
  }
  int Write(const char* data, uint32_t byteCount, int prepass) override {
    if (failOpen_ || (prepass && !prepass_)) return 0;
    if (!prepass && log_.mainWrites.size() == failWriteAt_) return 0;
    if (!prepass && beforeWrite_) beforeWrite_(log_.mainWrites.size());
    if (prepass) {
      log_.prepassPcm.append(data, byteCount);
    } else {
      log_.mainWrites.append(byteCount);
      log_.mainPcm.append(data, byteCount);
    }
    return 1;
  }
  int Close() override {
    ++log_.closes;
    return 1;
  }
  bool NeedsPreparationPass() const override { return prepass_; }
  QString ErrorText() const override {
    if (failOpen_) return QStringLiteral("Read-only file system");
    return log_.mainWrites.size() == failWriteAt_ ? QStringLiteral("No space left on device")
                                                  : QString();
  }

 private:
  CodecLog& log_;
  bool prepass_, failOpen_;
  int failWriteAt_;
  WriteHook beforeWrite_;
};

// A format whose every codec records into a log of its own.
class RecordingFormat : public OutputFormat {
 public:
  RecordingFormat() : OutputFormat(FindFormat(FormatId::Wav)) {}
  std::unique_ptr<AudioEncoder> CreateEncoder() const override {
    logs.push_back(std::make_unique<CodecLog>());
    return std::make_unique<RecordingCodec>(*logs.back(), prepass, failOpen, failWriteAt,
                                            beforeWrite);
  }
  mutable std::vector<std::unique_ptr<CodecLog>> logs;
  bool prepass = false;
  bool failOpen = false;
  int failWriteAt = -1;                   // the main-pass Write that fails, 0-based; -1 none
  RecordingCodec::WriteHook beforeWrite;  // runs in each main-pass Write, on the worker's thread
};

int ReadCommands() {
  int reads = 0;
  for (const QByteArray& cdb : VirtualDriveHost::Instance().Drive(0).CommandLog()) {
    if (uint8_t(cdb.at(0)) == 0xBE) ++reads;
  }
  return reads;
}

// Files named "01.wav", ... straight in the folder.
NamingSettings NumberedIn(const QString& folder) {
  NamingSettings naming;
  naming.outputFolder = folder;
  naming.subDirArtist = false;
  naming.subDirAlbum = false;
  naming.fileNameFormat = NamingPattern::Advanced;
  naming.advancedTemplate = "%N";
  return naming;
}

// What one rip's job sent.
struct JobSignals {
  QList<RipRun> runs;
  QList<RipProgress> progress;
  QList<RipResult> ends;
};

void Record(RipJob& job, JobSignals& seen) {
  QObject::connect(&job, &RipJob::RunStarted, &job,
                   [&seen](const RipRun& run) { seen.runs.append(run); });
  QObject::connect(&job, &RipJob::Progress, &job,
                   [&seen](const RipProgress& progress) { seen.progress.append(progress); });
  QObject::connect(&job, &RipJob::Finished, &job,
                   [&seen](const RipResult& result) { seen.ends.append(result); });
}

// Runs the event loop until the job has finished (30 s at most); false when it has not.
bool WaitForEnd(RipJob& job) {
  if (job.IsFinished()) return true;
  QEventLoop loop;
  QObject::connect(&job, &RipJob::Finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(30000, &loop, &QEventLoop::quit);
  loop.exec();
  return job.IsFinished();
}

class RipJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = disc_.Insert();
    ASSERT_NE(device_, nullptr);
    info_.ResetToDefaults(3);
    info_.trackTitles = QStringList{"Un", "Deux", "Trois"};
  }

  RipRequest Request(QList<int> tracks, CdDevice* device = nullptr) {
    RipRequest request;
    request.device = device ? device : device_;
    request.format = format_;
    request.tracks = std::move(tracks);
    request.naming = NumberedIn(out_.path());
    request.disc = &info_;
    request.encoderThreads = 1;
    return request;
  }

  // Rips the tracks with one codec and waits for the end; what the job sent is in seen_.
  RipResult Rip(QList<int> tracks) { return RipWith(Request(std::move(tracks))); }
  RipResult RipWith(const RipRequest& request) {
    seen_ = {};
    VirtualDriveHost::Instance().Drive(0).ClearCommandLog();
    RipJob job;
    Record(job, seen_);
    EXPECT_TRUE(job.Start(request));
    EXPECT_TRUE(WaitForEnd(job));
    QCoreApplication::processEvents();  // nothing may come after the end
    EXPECT_EQ(seen_.ends.size(), 1) << "the end comes exactly once";
    return job.Result();
  }

  QString OutPath(int index) const {
    return out_.filePath(QStringLiteral("%1.wav").arg(index + 1, 2, 10, QChar('0')));
  }
  // The names in the output folder, hidden ones included.
  QStringList OutNames() const {
    return QDir(out_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }

  TestApplication<QCoreApplication> app_;
  TempConfig config_;
  QTemporaryDir out_;
  // 27 x 3 + 1 sectors, 27 x 2, and 40 at the disc's end.
  TestDisc disc_{{TestTrack(82), TestTrack(54), TestTrack(40)}};
  CdDevice* device_ = nullptr;
  DiscInfo info_;
  std::shared_ptr<RecordingFormat> format_ = std::make_shared<RecordingFormat>();
  JobSignals seen_;
};

TEST_F(RipJobTest, FeedsEachTrackWholeInChunksToANewCodec) {
  const struct {
    int index;
    QList<uint32_t> writes;
  } cases[] = {
      {0, {27 * kSector, 27 * kSector, 27 * kSector, kSector}},
      {1, {27 * kSector, 27 * kSector}},
      {2, {27 * kSector, 13 * kSector}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    const RipResult result = Rip({c.index});
    ASSERT_EQ(format_->logs.size(), size_t(c.index + 1)) << "one new codec per track";
    const CodecLog& log = *format_->logs.back();
    EXPECT_EQ(log.path, PartPathFor(OutPath(c.index))) << "the codec writes the temporary file";
    EXPECT_TRUE(QFileInfo(OutPath(c.index)).isFile()) << "renamed to the final name when complete";
    EXPECT_EQ(log.facts.trackIndex, c.index);
    EXPECT_EQ(log.facts.trackCount, 3);
    EXPECT_EQ(log.facts.sectorCount * kSector, uint32_t(disc_.TrackAudio(c.index).size()));
    EXPECT_TRUE(log.hadTags);
    EXPECT_EQ(log.title, info_.trackTitles[c.index]);
    EXPECT_EQ(log.mainWrites, c.writes);
    EXPECT_TRUE(log.mainPcm == disc_.TrackAudio(c.index));
    EXPECT_TRUE(log.prepassPcm.isEmpty());
    EXPECT_EQ(log.closes, 1);
    EXPECT_EQ(ReadCommands(), c.writes.size())
        << "no preparation pass is read for a codec without one";
    EXPECT_EQ(result.status, RipResult::Status::Done);
    ASSERT_EQ(result.outcomes.size(), 1);
    EXPECT_EQ(result.outcomes[0].trackIndex, c.index);
    EXPECT_EQ(result.outcomes[0].path, OutPath(c.index));
    EXPECT_FALSE(result.outcomes[0].failed);
    EXPECT_EQ(result.outcomes[0].failedSectors, 0);

    // The run names the final file; progress follows it to the end.
    ASSERT_EQ(seen_.runs.size(), 1);
    EXPECT_EQ(seen_.runs[0].path, OutPath(c.index));
    EXPECT_EQ(seen_.runs[0].trackNumber, c.index + 1);
    ASSERT_FALSE(seen_.progress.isEmpty());
    EXPECT_DOUBLE_EQ(seen_.progress.last().runPercent, 100.0);
    EXPECT_DOUBLE_EQ(seen_.progress.last().totalPercent, 100.0);
  }
}

TEST_F(RipJobTest, APreparationPassReadsTheTrackFirstOnlyForACodecThatWantsIt) {
  format_->prepass = true;
  RipRequest request = Request({0});
  request.disc = nullptr;
  RipWith(request);
  ASSERT_EQ(format_->logs.size(), 1u);
  const CodecLog& log = *format_->logs[0];
  EXPECT_TRUE(log.prepassPcm == disc_.TrackAudio(0));
  EXPECT_TRUE(log.mainPcm == disc_.TrackAudio(0));
  EXPECT_EQ(ReadCommands(), 8);
  EXPECT_FALSE(log.hadTags) << "no disc information, no tags";
  ASSERT_FALSE(seen_.progress.isEmpty());
  for (const RipProgress& progress : seen_.progress) {
    EXPECT_EQ(progress.preparing, progress.runPercent < 50.0)
        << "the display says the first of the two passes prepares, at " << progress.runPercent;
  }
  EXPECT_DOUBLE_EQ(seen_.progress.last().runPercent, 100.0);
}

TEST_F(RipJobTest, ACodecThatCannotOpenFailsTheTrackWithItsReason) {
  format_->failOpen = true;
  RipResult result = Rip({1});
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_TRUE(result.outcomes[0].failed);
  EXPECT_EQ(result.outcomes[0].errorText, OutPath(1) + ": Read-only file system");
  EXPECT_TRUE(OutNames().isEmpty()) << "nothing under the final name, no temporary file left";
  EXPECT_EQ(ReadCommands(), 0) << "nothing is read for a file that cannot be written";

  // A track the disc does not have fails before any codec is made.
  format_->failOpen = false;
  const size_t codecs = format_->logs.size();
  result = Rip({7});
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_TRUE(result.outcomes[0].failed);
  EXPECT_EQ(result.outcomes[0].errorText, "track 8 is not on the disc");
  EXPECT_EQ(format_->logs.size(), codecs);
}

TEST_F(RipJobTest, CancelTakesEffectWithinOneReadOfADiscThatNeverReads) {
  // A long track, so that the rip is far from its end when the cancel comes.
  TestDisc longDisc{{TestTrack(2700)}};
  CdDevice* device = longDisc.Insert();
  ASSERT_NE(device, nullptr);
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  for (int lba = 0; lba < 2700; ++lba) drive.FailSector(lba, -1);
  drive.SetReadThrottleX(20.0);
  drive.ClearCommandLog();
  ASSERT_TRUE(WriteFileBytes(OutPath(0), "an earlier rip's complete file"));
  RipJob job;
  JobSignals seen;
  Record(job, seen);
  ASSERT_TRUE(job.Start(Request({0}, device)));
  // Cancel once the retries of the first chunk are under way.
  while (ReadCommands() < 3) std::this_thread::yield();
  job.Cancel();
  const int readsAtCancel = ReadCommands();
  ASSERT_TRUE(WaitForEnd(job));
  drive.ClearFaults();
  drive.SetReadThrottleX(0);
  EXPECT_LE(ReadCommands() - readsAtCancel, 1) << "only the read under way when cancelled";
  ASSERT_EQ(format_->logs.size(), 1u);
  EXPECT_LT(format_->logs[0]->mainPcm.size(), 2700 * qsizetype(kSector)) << "stopped early";
  EXPECT_EQ(format_->logs[0]->mainPcm.size() % (27 * kSector), 0)
      << "a chunk cut short is not written";
  EXPECT_EQ(format_->logs[0]->closes, 1);
  EXPECT_EQ(ReadFileBytes(OutPath(0)), "an earlier rip's complete file")
      << "a cancel keeps the earlier file";
  EXPECT_EQ(OutNames(), QStringList{"01.wav"}) << "the cancelled run's temporary file is gone";
  ASSERT_EQ(seen.ends.size(), 1);
  EXPECT_EQ(seen.ends[0].status, RipResult::Status::Cancelled);
  EXPECT_TRUE(seen.ends[0].outcomes.isEmpty()) << "a cancel is no failure";
}

TEST_F(RipJobTest, AFailedWriteLeavesTheFinalNameAsItWasAndNoTemporaryFile) {
  format_->failWriteAt = 1;
  RipResult result = Rip({0});
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_TRUE(result.outcomes[0].failed);
  EXPECT_EQ(result.outcomes[0].errorText, OutPath(0) + ": No space left on device")
      << "the reason names the final file";
  EXPECT_TRUE(OutNames().isEmpty());

  ASSERT_TRUE(WriteFileBytes(OutPath(1), "earlier"));
  result = Rip({1});
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_TRUE(result.outcomes[0].failed);
  EXPECT_EQ(ReadFileBytes(OutPath(1)), "earlier");
  EXPECT_EQ(OutNames(), QStringList{"02.wav"});
}

TEST_F(RipJobTest, AFolderThatCannotBeMadeFailsTheTrackWithTheSystemsReason) {
  ASSERT_TRUE(WriteFileBytes(out_.filePath("Band"), "a file where the folder goes"));
  info_.artist = "Band";
  info_.album = "Album";
  RipRequest request = Request({0});
  request.naming.subDirArtist = true;
  request.naming.subDirAlbum = true;
  const RipResult result = RipWith(request);
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_TRUE(result.outcomes[0].failed);
  EXPECT_EQ(result.outcomes[0].errorText,
            "Can't create directory " + out_.filePath("Band/Album") + ": Not a directory");
  EXPECT_EQ(ReadCommands(), 0) << "nothing is read for a file that cannot be made";
  EXPECT_TRUE(format_->logs.empty()) << "no codec is made";
}

}  // namespace

namespace {

// Waits until the drive has received at least `reads` READ CD commands; false after 20 s.
bool WaitForReads(int reads) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ReadCommands() < reads) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

constexpr int kAhead = int(RipJob::kReadAheadChunks);

// A codec that takes each chunk only once the reader is as far ahead as the ring lets it:
// the read-ahead happens while the codec works, and never goes further than the ring.
TEST_F(RipJobTest, ReadingRunsAheadOfTheCodecByAtMostTheRingAndKeepsTheOrder) {
  constexpr int kChunks = 40;
  TestDisc longDisc{{TestTrack(kChunks * 27 - 5)}};
  CdDevice* device = longDisc.Insert();
  ASSERT_NE(device, nullptr);
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  drive.FailSector(27 * 20 + 3, -1);  // one sector never reads: retries, then silence
  // READ CD commands once the first n chunks are read: the chunk with the bad sector costs
  // 4 whole reads and 27 single ones, 2 more of them for the bad sector.
  const auto commandsFor = [](int chunks) { return chunks + (chunks > 20 ? 3 + 27 + 2 : 0); };
  QList<int> readsAtWrite;
  bool stalled = false;  // waits once for a reader that never runs ahead
  format_->beforeWrite = [&](qsizetype k) {
    if (!stalled && !WaitForReads(commandsFor(std::min(int(k) + kAhead, kChunks)))) {
      stalled = true;
      ADD_FAILURE() << "the reader does not run ahead at chunk " << k;
    }
    readsAtWrite.append(ReadCommands());
  };
  const RipResult result = RipWith(Request({0}, device));
  drive.ClearFaults();

  const CodecLog& log = *format_->logs.back();
  QByteArray expected = longDisc.TrackAudio(0);
  expected.replace((27 * 20 + 3) * kSector, kSector, QByteArray(kSector, '\0'));
  EXPECT_TRUE(log.mainPcm == expected) << "every chunk once, in order, the bad sector silent";
  ASSERT_EQ(result.outcomes.size(), 1);
  EXPECT_EQ(result.outcomes[0].failedSectors, 1);
  EXPECT_EQ(seen_.progress.last().failedSectors, 1) << "the display counts it too";
  ASSERT_EQ(readsAtWrite.size(), kChunks);
  for (int k = 0; k < kChunks; ++k) {
    EXPECT_EQ(readsAtWrite[k], commandsFor(std::min(k + kAhead, kChunks)))
        << "never further ahead, at chunk " << k;
  }
  EXPECT_FALSE(result.outcomes[0].failed);
  EXPECT_TRUE(QFileInfo(OutPath(0)).isFile());
}

TEST_F(RipJobTest, ACancelWhileTheRingIsFullStopsWithinOneChunk) {
  TestDisc longDisc{{TestTrack(60 * 27)}};
  CdDevice* device = longDisc.Insert();
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(WriteFileBytes(OutPath(0), "earlier"));
  RipJob job;
  bool stalled = false;
  format_->beforeWrite = [&](qsizetype k) {
    if (!stalled && !WaitForReads(int(k) + kAhead)) {
      stalled = true;
      ADD_FAILURE() << "the ring does not fill";
    }
    if (k == 5) job.Cancel();  // from the codec's own thread, mid-chunk
  };
  VirtualDriveHost::Instance().Drive(0).ClearCommandLog();
  ASSERT_TRUE(job.Start(Request({0}, device)));
  ASSERT_TRUE(WaitForEnd(job));  // ends although the reader was waiting for a free slot
  const CodecLog& log = *format_->logs.back();
  EXPECT_EQ(log.mainWrites.size(), 6) << "the chunk under way is the last one taken";
  EXPECT_EQ(ReadCommands(), 5 + kAhead) << "no read after the ring was full";
  EXPECT_TRUE(log.mainPcm == longDisc.TrackAudio(0).left(6 * 27 * kSector));
  EXPECT_EQ(log.closes, 1);
  EXPECT_EQ(ReadFileBytes(OutPath(0)), "earlier");
  EXPECT_EQ(OutNames(), QStringList{"01.wav"});
  EXPECT_EQ(job.Result().status, RipResult::Status::Cancelled);
}

// Several codecs at once write the very files one codec writes: WAV bit-exact against the
// disc, MP3 decoding to the same audio.
TEST_F(RipJobTest, FourCodecsAtOnceWriteTheSameFilesAsOne) {
  TestDisc disc{{TestTrack(300), TestTrack(40), TestTrack(700), TestTrack(27), TestTrack(500),
                 TestTrack(120)}};
  CdDevice* device = disc.Insert();
  ASSERT_NE(device, nullptr);
  const QList<int> tracks{0, 1, 2, 3, 4, 5};
  for (const FormatId id : {FormatId::Wav, FormatId::Mp3}) {
    SCOPED_TRACE(ToStored(id));
    QMap<int, QString> folders;
    for (const int threads : {1, 4}) {
      RipRequest request = Request(tracks, device);
      request.format = CreateOutputFormat(id);
      request.disc = nullptr;
      folders[threads] = out_.filePath(QStringLiteral("%1-%2").arg(ToStored(id)).arg(threads));
      request.naming = NumberedIn(folders[threads]);
      request.encoderThreads = threads;
      const RipResult result = RipWith(request);
      EXPECT_EQ(result.status, RipResult::Status::Done);
      ASSERT_EQ(result.outcomes.size(), tracks.size());
      for (const TrackOutcome& outcome : result.outcomes)
        EXPECT_FALSE(outcome.failed) << outcome.errorText.toStdString();
    }
    const QString extension = id == FormatId::Wav ? ".wav" : ".mp3";
    for (const int index : tracks) {
      const QString name = QStringLiteral("%1").arg(index + 1, 2, 10, QChar('0')) + extension;
      const QString one = QDir(folders[1]).filePath(name);
      const QString four = QDir(folders[4]).filePath(name);
      if (id == FormatId::Wav) {
        EXPECT_TRUE(ReadFileBytes(four).mid(WavEncoder::kHeaderBytes) == disc.TrackAudio(index))
            << name.toStdString();
        EXPECT_TRUE(ReadFileBytes(one) == ReadFileBytes(four)) << name.toStdString();
      } else {
        const QByteArray decoded = DecodeToPcm(four);
        EXPECT_FALSE(decoded.isEmpty()) << name.toStdString();
        EXPECT_TRUE(DecodeToPcm(one) == decoded) << name.toStdString();
      }
    }
  }
}

}  // namespace
