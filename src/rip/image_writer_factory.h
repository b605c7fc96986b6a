#pragma once
#include <memory>

class DiscImageWriter;

// A new writer for a disc-image type: 5 ISO, 6 BIN with CUE sheet. Null for any other
// value, and when this build has no writer for the image. (Codecs come from their
// OutputFormat's CreateEncoder.)
std::unique_ptr<DiscImageWriter> CreateDiscImageWriter(int typeId);
