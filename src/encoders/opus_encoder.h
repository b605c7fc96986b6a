#pragma once
#include <QString>
#include <cstdint>
#include <vector>

#include "encoders/audio_encoder.h"
#include "encoders/codec_file.h"
#include "encoders/opus_settings.h"

struct OggOpusEnc;

// Opus in Ogg on libopusenc, which resamples the 44.1 kHz input to Opus's 48 kHz itself and
// writes the pre-skip and the end trimming, so the decoded track is as long as the source.
// The tags are Vorbis comments in UTF-8; the header records 44,100 Hz as the input rate.
// (Not "OpusEncoder": libopus's header declares a type of that name.)
class OpusFileEncoder : public AudioEncoder {
 public:
  explicit OpusFileEncoder(const OpusSettings& settings);
  ~OpusFileEncoder() override;
  OpusFileEncoder(const OpusFileEncoder&) = delete;
  OpusFileEncoder& operator=(const OpusFileEncoder&) = delete;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override;

 private:
  bool StartLibrary(const TrackFacts& track, const TagRecord* tags);
  bool Fail(const char* what, int code);
  void Release();

  OpusSettings settings_;
  OggOpusEnc* encoder_ = nullptr;
  std::vector<int16_t> samples_;  // one Write's whole frames, in the host's byte order
  std::vector<char> carry_;       // the bytes of an incomplete stereo frame
  CodecFile file_;
  bool writeFailed_ = false;
  QString libraryError_;

  friend struct OpusCallbacks;
};
