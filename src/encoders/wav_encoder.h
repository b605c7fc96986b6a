#pragma once
#include <QFile>
#include <cstdint>

#include "encoders/audio_encoder.h"
#include "encoders/output_format.h"

// Writes raw CD audio unchanged into a RIFF WAVE file (PCM, 2 channels, 16 bits, 44,100 Hz).
// The header states the track's length as the worker gives it; Close corrects it to the
// bytes actually written when a write fell short, so the file always describes itself.
class WavEncoder : public AudioEncoder {
 public:
  static constexpr int kHeaderBytes = 44;

  // The 44-byte header for dataBytes of audio.
  static QByteArray Header(uint32_t dataBytes);

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  QString ErrorText() const override { return errorText_; }

 private:
  int FailOpen();
  void NoteError();

  QFile file_;
  uint32_t headerDataBytes_ = 0;
  uint64_t writtenBytes_ = 0;
  bool writeFailed_ = false;
  QString errorText_;
};

// WAV has no settings.
class WavFormat : public OutputFormat {
 public:
  using OutputFormat::OutputFormat;
  std::unique_ptr<AudioEncoder> CreateEncoder() const override;
};
