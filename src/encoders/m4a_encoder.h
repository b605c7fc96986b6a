#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "encoders/audio_encoder.h"
#include "encoders/ffmpeg_codec.h"
#include "encoders/m4a_settings.h"
#include "encoders/tag_record.h"

// AAC-LC on libavcodec's native encoder in an MP4 file from libavformat's "ipod" muxer, with
// the index moved to the front (faststart) and the encoder's delay in an edit list, so players
// see the right length at once. The tags are written with TagLib once the file is complete.
class M4aEncoder : public AudioEncoder {
 public:
  explicit M4aEncoder(const M4aSettings& settings);
  ~M4aEncoder() override;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override;

 private:
  void Release();

  M4aSettings settings_;
  std::unique_ptr<FfmpegCodec> codec_;
  QString path_;
  std::optional<TagRecord> tags_;
  int trackCount_ = 0;
  bool writeFailed_ = false;
  QString error_;  // the codec's or the tagger's error, kept after the codec is released
};
