#pragma once
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "encoders/audio_encoder.h"
#include "encoders/codec_file.h"
#include "encoders/mp3_settings.h"
#include "encoders/tag_record.h"

struct lame_global_struct;

// MP3 on libmp3lame: an ID3v2.4 tag at the front, the frames (the first one the Xing/LAME
// frame, which Close fills for the finished stream so players show the right length and can
// seek), and an ID3v1 tag at the end.
class Mp3Encoder : public AudioEncoder {
 public:
  // The library's speed/quality setting; its slowest, 0, buys nothing audible at these rates.
  static constexpr int kLibraryQuality = 5;

  explicit Mp3Encoder(const Mp3Settings& settings);
  ~Mp3Encoder() override;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override;

  // Mixes interleaved stereo frames down to one channel: right / 2 + left / 2, each half
  // truncated toward zero, so the sum never overflows.
  static void MixDown(const int16_t* stereo, size_t frames, int16_t* mono);

 private:
  bool StartLibrary();
  bool WriteOutput(int byteCount);
  bool WriteLameFrame();
  void Release();

  Mp3Settings settings_;
  lame_global_struct* lame_ = nullptr;
  CodecFile file_;
  int64_t audioStart_ = 0;  // where the first frame (the Xing/LAME frame) begins
  std::optional<TagRecord> tags_;
  int trackIndex_ = 0;
  bool writeFailed_ = false;
  QString libraryError_;
  std::vector<int16_t> samples_;
  std::vector<unsigned char> output_;
};
