#include "rip/image_writer_factory.h"

#include <gtest/gtest.h>

#include "encoders/output_format.h"
#include "rip/bin_cue_image_writer.h"
#include "rip/iso_image_writer.h"

// The two disc-image formats have their writers; an audio format has none.
TEST(ImageWriterFactory, MakesAWriterForEachImageFormatOnly) {
  for (const FormatDescriptor& format : FormatDescriptors()) {
    SCOPED_TRACE(format.shortName);
    const std::unique_ptr<DiscImageWriter> writer = CreateDiscImageWriter(format.typeId);
    if (format.kind == FormatKind::FileSystemImage) {
      EXPECT_NE(dynamic_cast<IsoImageWriter*>(writer.get()), nullptr);
    } else if (format.kind == FormatKind::RawImage) {
      EXPECT_NE(dynamic_cast<BinCueImageWriter*>(writer.get()), nullptr);
    } else {
      EXPECT_EQ(writer, nullptr);
    }
  }
}
