#pragma once
#include <FLAC/stream_encoder.h>

#include <QString>
#include <cstdint>
#include <vector>

#include "encoders/audio_encoder.h"
#include "encoders/codec_file.h"
#include "encoders/flac_settings.h"

struct CoverImage;

// FLAC on libFLAC's stream encoder: the tags as Vorbis comments in UTF-8, a seek table with a
// point every ten seconds, padding so the tags can grow without rewriting the file, and the
// MD5 of the audio in STREAMINFO. libFLAC writes through the codec's file and goes back at
// the end to fill in STREAMINFO and the seek table.
class FlacEncoder : public AudioEncoder {
 public:
  static constexpr int kSeekPointSeconds = 10;
  static constexpr unsigned kPaddingBytes = 8192;

  explicit FlacEncoder(const FlacSettings& settings);
  ~FlacEncoder() override;
  FlacEncoder(const FlacEncoder&) = delete;
  FlacEncoder& operator=(const FlacEncoder&) = delete;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override;

 private:
  bool StartLibrary(const TrackFacts& track, const TagRecord* tags);
  bool AddMetadata(const TrackFacts& track, const TagRecord* tags);
  bool AddPicture(const CoverImage& cover);
  bool EncodeFrames(const char* data, uint32_t frameCount);
  bool Fail(const char* what);
  void Release();

  // libFLAC's output callbacks.
  bool WriteOut(const uint8_t* data, size_t byteCount);
  bool SeekOut(uint64_t offset);
  uint64_t position() const { return position_; }

  FlacSettings settings_;
  FLAC__StreamEncoder* encoder_ = nullptr;
  std::vector<FLAC__StreamMetadata*> metadata_;
  std::vector<int32_t> samples_;  // one piece of input, as libFLAC takes it
  std::vector<char> carry_;       // the bytes of an incomplete stereo frame
  CodecFile file_;
  uint64_t position_ = 0;  // where libFLAC writes next
  uint64_t end_ = 0;       // the file's size
  bool writeFailed_ = false;
  QString libraryError_;

  friend struct FlacCallbacks;
};
