#include "encoders/mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "encoders/id3v1_tag.h"
#include "encoders/id3v2_tag.h"
#include "settings/setting_keys.h"

namespace {

constexpr int kSampleRate = 44100;
// LAME's bound for the output of n samples a channel: 1.25 n + 7,200 bytes.
size_t OutputBound(size_t frames) { return frames + frames / 4 + 7200; }

// The library would silently use the nearest rate it has; a rate it lacks is refused instead.
bool IsFrameBitRate(int kbitPerSecond) { return Key::Mp3MinBitRate.Allows(kbitPerSecond); }

MPEG_mode LameMode(int stereoMode) {
  switch (stereoMode) {
    case Mp3Settings::JointStereo: return JOINT_STEREO;
    case Mp3Settings::DualChannel: return DUAL_CHANNEL;
    case Mp3Settings::Mono: return MONO;
    default: return STEREO;
  }
}

}  // namespace

Mp3Encoder::Mp3Encoder(const Mp3Settings& settings) : settings_(settings) {}

Mp3Encoder::~Mp3Encoder() { Close(); }

void Mp3Encoder::MixDown(const int16_t* stereo, size_t frames, int16_t* mono) {
  for (size_t k = 0; k < frames; ++k) {
    mono[k] = int16_t(stereo[2 * k + 1] / 2 + stereo[2 * k] / 2);
  }
}

bool Mp3Encoder::StartLibrary() {
  if (!IsFrameBitRate(settings_.minBitRate) || !IsFrameBitRate(settings_.maxBitRate) ||
      settings_.minBitRate > settings_.maxBitRate) {
    return false;
  }
  lame_ = lame_init();
  if (!lame_) return false;
  const bool mono = settings_.stereoMode == Mp3Settings::Mono;
  lame_set_in_samplerate(lame_, kSampleRate);
  lame_set_out_samplerate(lame_, kSampleRate);
  lame_set_num_channels(lame_, mono ? 1 : 2);
  lame_set_mode(lame_, LameMode(settings_.stereoMode));
  if (settings_.IsVariable()) {
    lame_set_VBR(lame_, vbr_default);
    lame_set_VBR_quality(lame_, float(settings_.VbrQuality()));
    lame_set_VBR_min_bitrate_kbps(lame_, settings_.minBitRate);
    lame_set_VBR_max_bitrate_kbps(lame_, settings_.maxBitRate);
  } else {
    lame_set_VBR(lame_, vbr_off);
    lame_set_brate(lame_, settings_.minBitRate);
  }
  lame_set_error_protection(lame_, settings_.crcs ? 1 : 0);
  lame_set_copyright(lame_, settings_.copyrighted ? 1 : 0);
  lame_set_original(lame_, 1);
  lame_set_bWriteVbrTag(lame_, 1);
  lame_set_disable_reservoir(lame_, 1);
  lame_set_quality(lame_, kLibraryQuality);
  return lame_init_params(lame_) >= 0;
}

int Mp3Encoder::Open(const QString& path, const TrackFacts& track, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  libraryError_.clear();
  trackIndex_ = track.trackIndex;
  tags_.reset();
  if (tags) tags_ = *tags;
  if (!StartLibrary()) {
    libraryError_ = settings_.IsVariable()
                        ? QStringLiteral("The MP3 encoder cannot use bit rates %1 to %2 kbit/s")
                              .arg(settings_.minBitRate)
                              .arg(settings_.maxBitRate)
                        : QStringLiteral("The MP3 encoder cannot use a bit rate of %1 kbit/s")
                              .arg(settings_.minBitRate);
    Release();
    return 0;
  }
  if (!file_.Create(path)) {
    Release();
    return 0;
  }
  if (tags_ && !file_.Write(Id3v2::Tag(*tags_, track.trackCount))) {
    file_.Discard();
    Release();
    return 0;
  }
  audioStart_ = file_.Size();
  return 1;
}

bool Mp3Encoder::WriteOutput(int byteCount) {
  if (byteCount < 0) {
    libraryError_ = QStringLiteral("The MP3 encoder failed (error %1)").arg(byteCount);
    return false;
  }
  return file_.Write(output_.data(), byteCount);
}

int Mp3Encoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !lame_ || !file_.IsOpen() || writeFailed_) return 0;
  const size_t frames = byteCount / 4;
  samples_.resize(frames * 2);
  std::memcpy(samples_.data(), data, frames * 4);
  output_.resize(OutputBound(frames));
  int produced;
  if (settings_.stereoMode == Mp3Settings::Mono) {
    MixDown(samples_.data(), frames, samples_.data());
    produced = lame_encode_buffer(lame_, samples_.data(), nullptr, int(frames), output_.data(),
                                  int(output_.size()));
  } else {
    produced = lame_encode_buffer_interleaved(lame_, samples_.data(), int(frames), output_.data(),
                                              int(output_.size()));
  }
  if (!WriteOutput(produced)) {
    writeFailed_ = true;
    return 0;
  }
  return 1;
}

// The stream reserved its first frame for this one; only now are its frame count, byte count
// and seek table known.
bool Mp3Encoder::WriteLameFrame() {
  unsigned char frame[2880];
  const size_t size = lame_get_lametag_frame(lame_, frame, sizeof frame);
  if (size == 0 || size > sizeof frame) return size == 0;
  return file_.WriteAt(audioStart_, frame, int64_t(size));
}

int Mp3Encoder::Close() {
  if (!lame_ || !file_.IsOpen()) {
    Release();
    return 1;
  }
  output_.resize(OutputBound(0));
  bool ok =
      !writeFailed_ && WriteOutput(lame_encode_flush(lame_, output_.data(), int(output_.size())));
  ok = ok && WriteLameFrame();
  if (tags_) ok = file_.Write(Id3v1::Tag(*tags_, trackIndex_)) && ok;
  ok = file_.Close() && ok;
  Release();
  return ok ? 1 : 0;
}

void Mp3Encoder::Release() {
  if (lame_) lame_close(lame_);
  lame_ = nullptr;
  file_.Discard();  // only a file still open here, that is one never finished
  output_ = {};
  samples_ = {};
}

QString Mp3Encoder::ErrorText() const {
  return libraryError_.isEmpty() ? file_.ErrorText() : libraryError_;
}
