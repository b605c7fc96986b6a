#include "encoders/audio_encoder.h"

#include <algorithm>
#include <cstring>

#include "drive/cd_device.h"
#include "platform/log.h"

namespace {
const QString kPrepareText = QStringLiteral("Prepare encoding...");
}

AudioEncoder::~AudioEncoder() { Join(); }

void AudioEncoder::Join() {
  if (thread_.joinable()) thread_.join();
}

int AudioEncoder::StartTrack(int index, const QString& path, uint32_t firstOverride,
                             uint32_t lastOverride) {
  Join();
  SetTrack(index, path, firstOverride, lastOverride);
  failedSectors = 0;
  failed = false;
  try {
    thread_ = std::thread([this] {
      RunPass(true);
      if (!RunPass(false)) failed = true;
    });
  } catch (const std::system_error&) {
    return 0;
  }
  return 1;
}

void AudioEncoder::Report(double value, const QString* text) {
  if (statusCallback) statusCallback(StatusKind::TrackProgress, value, text);
}

bool AudioEncoder::RunPass(bool prepass) {
  drive->Open();
  bool result = true;
  if (prepass && !Open()) {
    failed = true;
    result = false;
  } else {
    int first = 0;
    int last = 0;
    if (!drive->GetTrackStart(trackIndex, first) || !drive->GetTrackEnd(trackIndex, last)) {
      result = false;
    } else if (!prepass || NeedsPreparationPass()) {
      if (firstSectorOverride) first = int(firstSectorOverride);
      if (lastSectorOverride) last = int(lastSectorOverride);
      std::vector<uint8_t> buffer(kChunkSectors * kSectorBytes + 1);
      // A one-sector track (first == last) is read too.
      const uint32_t total = first <= last ? uint32_t(last - first + 1) : 0;
      const QString& text = prepass ? kPrepareText : outputPath;
      for (uint32_t done = 0; done < total && !stopRequested; done += kChunkSectors) {
        const uint32_t current = uint32_t(first) + done;
        const int n = int(std::min<uint32_t>(kChunkSectors, total - done));
        ReadAudioChunk(current, n, buffer, !prepass);
        if (!Write(reinterpret_cast<const char*>(buffer.data()), n * kSectorBytes, prepass)) {
          result = prepass;  // an encoder without a preparation pass refuses its data
          break;
        }
        Report(done * 100.0 / total, &text);
        SampleSpeed(current, kSectorBytes);
      }
    }
  }
  if (!prepass) {
    if (!Close()) result = false;
    Report(StatusKind::kDone, nullptr);
  }
  drive->Close();
  ResetSpeedReference();
  return result;
}

// A chunk that cannot be read is tried again whole, then sector by sector; a sector that
// still fails becomes digital silence of its full length, so the file keeps its length and
// the audio after it stays in place.
void AudioEncoder::ReadAudioChunk(uint32_t first, int count, std::vector<uint8_t>& buffer,
                             bool countErrors) {
  for (int attempt = 0; attempt <= kChunkRetries; ++attempt) {
    int length = int(buffer.size());
    if (drive->ReadAudio(int(first), count, buffer.data(), length)) return;
  }
  qCDebug(lcRip) << "chunk at" << first << "of" << count << "sectors unreadable after" << kChunkRetries + 1
                 << "tries; reading it sector by sector";
  for (int i = 0; i < count; ++i) {
    uint8_t* sector = buffer.data() + size_t(i) * kSectorBytes;
    bool read = false;
    for (int attempt = 0; attempt < kSectorTries && !read; ++attempt) {
      int length = kSectorBytes;
      read = drive->ReadAudio(int(first) + i, 1, sector, length);
    }
    if (!read) {
      qCDebug(lcRip) << "sector" << first + i << "unreadable after" << kSectorTries << "tries; filled with silence";
      std::memset(sector, 0, kSectorBytes);
      if (countErrors) ++failedSectors;
    }
  }
}
