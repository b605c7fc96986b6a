#pragma once
#include <QString>
#include <cstdint>
#include <memory>

#include "encoders/audio_encoder.h"
#include "encoders/codec_file.h"
#include "encoders/ogg_settings.h"

// Ogg Vorbis on libvorbis and libogg: the tags as Vorbis comments in UTF-8, pages written to
// the file as they complete, the last one marked end-of-stream. Each stream gets a serial
// number from the system's random source, so two rips of a track can be chained.
class OggEncoder : public AudioEncoder {
 public:
  // Audio goes to the library this many bytes (1,024 stereo frames) at a time.
  static constexpr uint32_t kPieceBytes = 4096;

  explicit OggEncoder(const OggSettings& settings);
  ~OggEncoder() override;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override;

 private:
  struct Stream;
  bool StartLibrary(const TagRecord* tags);
  bool WriteHeaders();
  bool EncodePiece(const char* data, uint32_t byteCount);
  bool Drain();
  void Release();

  OggSettings settings_;
  std::unique_ptr<Stream> stream_;
  CodecFile file_;
  bool writeFailed_ = false;
  QString libraryError_;
};
