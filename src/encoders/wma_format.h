#pragma once
#include "encoders/lossy_formats.h"
#include "encoders/wma_encoder.h"
#include "encoders/wma_settings.h"

// The WMA output format: its settings section "WMA", and codecs only where this build has
// the encoder and the ASF writer.
class WmaFormat : public LossyFormat<WmaSettings, WmaEncoder> {
 public:
  using LossyFormat::LossyFormat;

  std::unique_ptr<AudioEncoder> CreateEncoder() const override {
    return IsWmaAvailable() ? LossyFormat::CreateEncoder() : nullptr;
  }
};
