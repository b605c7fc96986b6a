#include "encoders/encoder_factory.h"

#include "encoders/disc_image_writer.h"
#include "encoders/output_format.h"
#include "encoders/wav_encoder.h"

namespace {

// The encoder singleton of a type, or null when this build has none.
AudioEncoder* EncoderOfType(int typeId) {
  switch (typeId) {
    case EncoderType::Wav: {
      static WavEncoder wav;
      return &wav;
    }
    case EncoderType::Ogg:
    case EncoderType::Wma:
    case EncoderType::Aac:
    default:  // MP3
      return nullptr;
  }
}

}  // namespace

AudioEncoder* CreateEncoder(int typeId, CdDevice* drive) {
  AudioEncoder* encoder = EncoderOfType(typeId);
  if (encoder) encoder->drive = drive;
  return encoder;
}

bool IsEncoderAvailable(int typeId) { return EncoderOfType(typeId) != nullptr; }

std::unique_ptr<DiscImageWriter> CreateDiscImageWriter(int) {
  // Neither the ISO nor the BIN with CUE sheet writer is part of this build yet.
  return nullptr;
}

bool IsDiscImageWriterAvailable(int typeId) { return CreateDiscImageWriter(typeId) != nullptr; }
