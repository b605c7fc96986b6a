#include "encoders/encoder_factory.h"

#include "encoders/disc_image_writer.h"

std::unique_ptr<DiscImageWriter> CreateDiscImageWriter(int) {
  // Neither the ISO nor the BIN with CUE sheet writer is part of this build yet.
  return nullptr;
}

bool IsDiscImageWriterAvailable(int typeId) { return CreateDiscImageWriter(typeId) != nullptr; }
