#pragma once
#include <memory>

#include "encoders/aac_encoder.h"
#include "encoders/flac_encoder.h"
#include "encoders/m4a_encoder.h"
#include "encoders/mp3_encoder.h"
#include "encoders/ogg_encoder.h"
#include "encoders/opus_encoder.h"
#include "encoders/output_format.h"
#include "settings/settings_store.h"

// An output format with a settings section: the settings dialog edits Settings(), then
// ApplySettings makes them the settings of every codec CreateEncoder makes from then on, and
// SaveSettings writes them to the section.
template <class FormatSettings, class Codec>
class LossyFormat : public OutputFormat {
 public:
  using OutputFormat::OutputFormat;

  void LoadSettings() override { settings_.Load(SettingsStore::Instance()); }
  void ApplySettings() override { applied_ = settings_; }
  void SaveSettings() override { settings_.Save(SettingsStore::Instance()); }
  std::unique_ptr<AudioEncoder> CreateEncoder() const override {
    return std::make_unique<Codec>(applied_);
  }

  FormatSettings& Settings() { return settings_; }

 private:
  FormatSettings settings_;
  FormatSettings applied_;
};

using Mp3Format = LossyFormat<Mp3Settings, Mp3Encoder>;
using OggFormat = LossyFormat<OggSettings, OggEncoder>;
using AacFormat = LossyFormat<AacSettings, AacEncoder>;
using FlacFormat = LossyFormat<FlacSettings, FlacEncoder>;
using OpusFormat = LossyFormat<OpusSettings, OpusFileEncoder>;
using M4aFormat = LossyFormat<M4aSettings, M4aEncoder>;
