// The track worker on the virtual drive with a codec that records what it is fed: one new
// codec per track, the chunks and their order, the track's facts and tags, the preparation
// pass only for a codec that asks for it, and a codec's failure with its reason.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "drive/virtual/virtual_drive.h"
#include "encoders/output_format.h"
#include "encoders/part_file.h"
#include "encoders/tag_record.h"
#include "metadata/disc_info.h"
#include "rip/track_worker.h"
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
  RecordingFormat() : OutputFormat(FindFormatRow(FormatId::Wav)) {}
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

class TrackWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = disc_.Insert();
    ASSERT_NE(device_, nullptr);
    info_.ResetToDefaults(3);
    info_.trackTitles = QStringList{"Un", "Deux", "Trois"};
  }

  // Rips one track and waits for its thread; the reports it sent come back in reports_.
  void Rip(TrackWorker& worker, int index) {
    reports_.clear();
    worker.statusCallback = [this](StatusReport report) {
      std::lock_guard lock(mutex_);
      reports_.append(std::move(report));
    };
    VirtualDriveHost::Instance().Drive(0).ClearCommandLog();
    ASSERT_EQ(worker.StartTrack(index, OutPath(index), 0, 0), 1);
    worker.Join();
  }

  QString OutPath(int index) const { return out_.filePath(QStringLiteral("%1.wav").arg(index)); }
  // The names in the output folder, hidden ones included.
  QStringList OutNames() const {
    return QDir(out_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }

  TempConfig config_;
  QTemporaryDir out_;
  // 27 x 3 + 1 sectors, 27 x 2, and 40 at the disc's end.
  TestDisc disc_{{TestTrack(82), TestTrack(54), TestTrack(40)}};
  CdDevice* device_ = nullptr;
  DiscInfo info_;
  RecordingFormat format_;
  std::mutex mutex_;
  QList<StatusReport> reports_;
};

TEST_F(TrackWorkerTest, FeedsEachTrackWholeInChunksToANewCodec) {
  TrackWorker worker(*device_, format_, &info_);
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
    Rip(worker, c.index);
    ASSERT_EQ(format_.logs.size(), size_t(c.index + 1)) << "one new codec per run";
    const CodecLog& log = *format_.logs.back();
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
    EXPECT_FALSE(worker.failed);
    EXPECT_EQ(worker.failedSectors, 0);

    // Progress after every chunk with the path, below 100, then the done signal alone.
    ASSERT_EQ(reports_.size(), c.writes.size() + 1);
    EXPECT_EQ(reports_.first().value, 0.0);
    EXPECT_LT(reports_[reports_.size() - 2].value, 100.0);
    EXPECT_EQ(reports_[0].text, OutPath(c.index)) << "progress names the final file";
    EXPECT_EQ(reports_.last(), StatusReport::Done(StatusKind::TrackProgress));
    for (int i = 0; i + 1 < reports_.size(); ++i) EXPECT_FALSE(reports_[i].IsDone()) << i;
    for (const StatusReport& r : reports_) EXPECT_EQ(r.kind, StatusKind::TrackProgress);
  }
}

TEST_F(TrackWorkerTest, APreparationPassReadsTheTrackFirstOnlyForACodecThatWantsIt) {
  format_.prepass = true;
  TrackWorker worker(*device_, format_, nullptr);
  Rip(worker, 0);
  ASSERT_EQ(format_.logs.size(), 1u);
  const CodecLog& log = *format_.logs[0];
  EXPECT_TRUE(log.prepassPcm == disc_.TrackAudio(0));
  EXPECT_TRUE(log.mainPcm == disc_.TrackAudio(0));
  EXPECT_EQ(ReadCommands(), 8);
  EXPECT_FALSE(log.hadTags) << "no disc information, no tags";
  EXPECT_EQ(reports_[0].text, "Prepare encoding...");
  EXPECT_EQ(reports_[4].text, OutPath(0));
}

TEST_F(TrackWorkerTest, ACodecThatCannotOpenFailsTheTrackWithItsReason) {
  format_.failOpen = true;
  TrackWorker worker(*device_, format_, &info_);
  Rip(worker, 1);
  EXPECT_TRUE(worker.failed);
  EXPECT_EQ(worker.errorText, OutPath(1) + ": Read-only file system");
  EXPECT_TRUE(OutNames().isEmpty()) << "nothing under the final name, no temporary file left";
  EXPECT_EQ(ReadCommands(), 0) << "nothing is read for a file that cannot be written";
  ASSERT_EQ(reports_.size(), 1);
  EXPECT_TRUE(reports_[0].IsDone());

  // A track the disc does not have fails before any codec file is opened.
  format_.failOpen = false;
  Rip(worker, 7);
  EXPECT_TRUE(worker.failed);
  EXPECT_EQ(worker.errorText, "track 8 is not on the disc");
  EXPECT_TRUE(format_.logs.back()->path.isEmpty());
}

TEST_F(TrackWorkerTest, CancelTakesEffectWithinOneReadOfADiscThatNeverReads) {
  // A long track, so that the rip is far from its end when the cancel comes.
  TestDisc longDisc{{TestTrack(2700)}};
  CdDevice* device = longDisc.Insert();
  ASSERT_NE(device, nullptr);
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  for (int lba = 0; lba < 2700; ++lba) drive.FailSector(lba, -1);
  drive.SetReadThrottleX(20.0);
  drive.ClearCommandLog();
  ASSERT_TRUE(WriteFileBytes(OutPath(0), "an earlier rip's complete file"));
  TrackWorker worker(*device, format_, &info_);
  ASSERT_EQ(worker.StartTrack(0, OutPath(0), 0, 0), 1);
  // Cancel once the retries of the first chunk are under way.
  while (ReadCommands() < 3) std::this_thread::yield();
  worker.stopRequested = 1;
  const int readsAtCancel = ReadCommands();
  worker.Join();
  drive.ClearFaults();
  drive.SetReadThrottleX(0);
  EXPECT_LE(ReadCommands() - readsAtCancel, 1) << "only the read under way when cancelled";
  ASSERT_EQ(format_.logs.size(), 1u);
  EXPECT_LT(format_.logs[0]->mainPcm.size(), 2700 * qsizetype(kSector)) << "the rip stopped early";
  EXPECT_EQ(format_.logs[0]->mainPcm.size() % (27 * kSector), 0)
      << "a chunk cut short is not written";
  EXPECT_EQ(format_.logs[0]->closes, 1);
  EXPECT_EQ(ReadFileBytes(OutPath(0)), "an earlier rip's complete file")
      << "a cancel keeps the earlier file";
  EXPECT_EQ(OutNames(), QStringList{"0.wav"}) << "the cancelled run's temporary file is gone";
  EXPECT_FALSE(worker.failed) << "a cancel is no failure";
}

TEST_F(TrackWorkerTest, AFailedWriteLeavesTheFinalNameAsItWasAndNoTemporaryFile) {
  format_.failWriteAt = 1;
  TrackWorker worker(*device_, format_, &info_);
  Rip(worker, 0);
  EXPECT_TRUE(worker.failed);
  EXPECT_EQ(worker.errorText, OutPath(0) + ": No space left on device")
      << "the reason names the final file";
  EXPECT_TRUE(OutNames().isEmpty());

  ASSERT_TRUE(WriteFileBytes(OutPath(1), "earlier"));
  Rip(worker, 1);
  EXPECT_TRUE(worker.failed);
  EXPECT_EQ(ReadFileBytes(OutPath(1)), "earlier");
  EXPECT_EQ(OutNames(), QStringList{"1.wav"});
  EXPECT_TRUE(reports_.last().IsDone()) << "the done signal still comes";
}

TEST_F(TrackWorkerTest, AFolderThatCannotBeMadeFailsTheTrackWithTheSystemsReason) {
  ASSERT_TRUE(WriteFileBytes(out_.filePath("Band"), "a file where the folder goes"));
  TrackWorker worker(*device_, format_, &info_);
  VirtualDriveHost::Instance().Drive(0).ClearCommandLog();
  ASSERT_EQ(worker.StartTrack(0, out_.filePath("Band/Album/01.wav"), 0, 0), 1);
  worker.Join();
  EXPECT_TRUE(worker.failed);
  EXPECT_EQ(worker.errorText,
            "cannot create folder " + out_.filePath("Band/Album") + ": Not a directory");
  EXPECT_EQ(ReadCommands(), 0) << "nothing is read for a file that cannot be made";
  EXPECT_TRUE(format_.logs.back()->path.isEmpty()) << "no codec is opened";
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

constexpr int kAhead = TrackWorker::kReadAheadChunks;

// A codec that takes each chunk only once the reader is as far ahead as the ring lets it:
// the read-ahead happens while the codec works, and never goes further than the ring.
TEST_F(TrackWorkerTest, ReadingRunsAheadOfTheCodecByAtMostTheRingAndKeepsTheOrder) {
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
  format_.beforeWrite = [&](qsizetype k) {
    if (!stalled && !WaitForReads(commandsFor(std::min(int(k) + kAhead, kChunks)))) {
      stalled = true;
      ADD_FAILURE() << "the reader does not run ahead at chunk " << k;
    }
    readsAtWrite.append(ReadCommands());
  };
  drive.ClearCommandLog();
  TrackWorker worker(*device, format_, &info_);
  ASSERT_EQ(worker.StartTrack(0, OutPath(0), 0, 0), 1);
  worker.Join();
  drive.ClearFaults();

  const CodecLog& log = *format_.logs.back();
  QByteArray expected = longDisc.TrackAudio(0);
  expected.replace((27 * 20 + 3) * kSector, kSector, QByteArray(kSector, '\0'));
  EXPECT_TRUE(log.mainPcm == expected) << "every chunk once, in order, the bad sector silent";
  EXPECT_EQ(worker.failedSectors, 1);
  ASSERT_EQ(readsAtWrite.size(), kChunks);
  for (int k = 0; k < kChunks; ++k) {
    EXPECT_EQ(readsAtWrite[k], commandsFor(std::min(k + kAhead, kChunks)))
        << "never further ahead, at chunk " << k;
  }
  EXPECT_FALSE(worker.failed);
  EXPECT_TRUE(QFileInfo(OutPath(0)).isFile());
}

TEST_F(TrackWorkerTest, ACancelWhileTheRingIsFullStopsWithinOneChunk) {
  TestDisc longDisc{{TestTrack(60 * 27)}};
  CdDevice* device = longDisc.Insert();
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(WriteFileBytes(OutPath(0), "earlier"));
  TrackWorker worker(*device, format_, &info_);
  bool stalled = false;
  format_.beforeWrite = [&](qsizetype k) {
    if (!stalled && !WaitForReads(int(k) + kAhead)) {
      stalled = true;
      ADD_FAILURE() << "the ring does not fill";
    }
    if (k == 5) worker.stopRequested = 1;  // as the dialog's Cancel would, mid-chunk
  };
  VirtualDriveHost::Instance().Drive(0).ClearCommandLog();
  ASSERT_EQ(worker.StartTrack(0, OutPath(0), 0, 0), 1);
  worker.Join();  // returns although the reader was waiting for a free slot
  const CodecLog& log = *format_.logs.back();
  EXPECT_EQ(log.mainWrites.size(), 6) << "the chunk under way is the last one taken";
  EXPECT_EQ(ReadCommands(), 5 + kAhead) << "no read after the ring was full";
  EXPECT_TRUE(log.mainPcm == longDisc.TrackAudio(0).left(6 * 27 * kSector));
  EXPECT_EQ(log.closes, 1);
  EXPECT_EQ(ReadFileBytes(OutPath(0)), "earlier");
  EXPECT_EQ(OutNames(), QStringList{"0.wav"});
}

}  // namespace
