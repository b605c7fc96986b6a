#pragma once
#include <QFile>
#include <cstdint>

#include "encoders/audio_encoder.h"

// Writes raw CD audio unchanged into a RIFF WAVE file (PCM, 2 channels, 16 bits, 44,100 Hz).
// The header states the track's length from the table of contents; Close corrects it to
// the bytes actually written when a write fell short, so the file always describes itself.
class WavEncoder : public AudioEncoder {
 public:
  static constexpr int kHeaderBytes = 44;

  // The 44-byte header for dataBytes of audio.
  static QByteArray Header(uint32_t dataBytes);

  int Open() override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;

 private:
  int FailOpen();

  QFile file_;
  uint32_t headerDataBytes_ = 0;
  uint64_t writtenBytes_ = 0;
  bool writeFailed_ = false;
};
