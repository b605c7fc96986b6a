#include "encoders/encoder_factory.h"

#include "encoders/bin_cue_image_writer.h"
#include "encoders/iso_image_writer.h"
#include "encoders/output_format.h"

std::unique_ptr<DiscImageWriter> CreateDiscImageWriter(int typeId) {
  if (typeId == EncoderType::Iso) return std::make_unique<IsoImageWriter>();
  if (typeId == EncoderType::BinCue) return std::make_unique<BinCueImageWriter>();
  return nullptr;
}

bool IsDiscImageWriterAvailable(int typeId) { return CreateDiscImageWriter(typeId) != nullptr; }
