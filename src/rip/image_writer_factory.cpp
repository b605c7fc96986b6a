#include "rip/image_writer_factory.h"

#include "encoders/output_format.h"
#include "rip/bin_cue_image_writer.h"
#include "rip/iso_image_writer.h"

std::unique_ptr<DiscImageWriter> CreateDiscImageWriter(int typeId) {
  if (typeId == EncoderType::Iso) return std::make_unique<IsoImageWriter>();
  if (typeId == EncoderType::BinCue) return std::make_unique<BinCueImageWriter>();
  return nullptr;
}
