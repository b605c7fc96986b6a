#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "encoders/aac_settings.h"
#include "encoders/audio_encoder.h"
#include "encoders/codec_file.h"
#include "encoders/ffmpeg_codec.h"
#include "encoders/tag_record.h"

// AAC (Main profile) on libavcodec's native encoder, as raw ADTS frames from libavformat's
// muxer, followed by an ID3v1 tag. The PCM goes to the encoder in blocks of the size it asks
// for; what is left of a Write waits for the next one, and Close encodes the last short
// block and drains the encoder, so the file ends where the track ends.
class AacEncoder : public AudioEncoder {
 public:
  explicit AacEncoder(const AacSettings& settings);
  ~AacEncoder() override;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override;

  // The size of a block in bytes (the encoder's frame of samples a channel, both channels);
  // 0 before Open.
  uint32_t BlockBytes() const { return codec_ ? codec_->FrameBytes() : 0; }
  // PCM bytes waiting for the next block.
  uint32_t CarriedBytes() const { return codec_ ? codec_->PendingBytes() : 0; }
  // Blocks handed to the encoder since Open.
  int64_t BlocksEncoded() const { return codec_ ? codec_->FramesEncoded() : 0; }

 private:
  bool StartLibrary();
  void Release();

  AacSettings settings_;
  std::unique_ptr<FfmpegCodec> codec_;
  CodecFile file_;
  std::optional<TagRecord> tags_;
  int trackIndex_ = 0;
  bool writeFailed_ = false;
  QString libraryError_;  // the codec's error, kept after it is released
};
