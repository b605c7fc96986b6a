#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "encoders/audio_encoder.h"
#include "encoders/ffmpeg_codec.h"
#include "encoders/tag_record.h"
#include "encoders/wma_settings.h"

// One audio format the WMA encoder offers, as the format list shows it.
struct WmaAudioFormat {
  QString codec;        // "Windows Media Audio 8"
  QString description;  // "128 kbps, 44 kHz, stereo CBR"
  int bitRate = 0;      // bit/s asked of the encoder
  int passes = 2;       // 2 with VBR: a preparation pass feeds the analysis first
  bool vbr = false;
};

// Whether this build can write WMA: libavcodec has the wmav2 encoder and libavformat the
// asf muxer.
bool IsWmaAvailable();
// The formats in list order: per codec, the constant-bit-rate formats, then the two-pass
// and the one-pass variable-bit-rate ones. Only bit rates that give streams of their own
// are listed: the encoder caps high rates to the same stream. Probed once.
const std::vector<WmaAudioFormat>& WmaFormats();
// The descriptions of WmaFormats, for the settings dialog.
QStringList ListWmaFormats();
// The format whose description, leading blanks removed, equals description; null when none.
const WmaAudioFormat* FindWmaFormat(const QString& description);

// Windows Media Audio 8 (libavcodec's wmav2) in an ASF file (libavformat's asf muxer), with
// the disc's texts as header attributes. The PCM goes in as samples of a tenth of a second,
// timed from 0; Close encodes the last partial frame and drains the encoder.
class WmaEncoder : public AudioEncoder {
 public:
  static constexpr uint32_t kSampleBytes = 17640;  // a tenth of a second
  static constexpr uint32_t kBytesPerSecond = 176400;

  explicit WmaEncoder(const WmaSettings& settings);
  ~WmaEncoder() override;

  int Open(const QString& path, const TrackFacts& track, const TagRecord* tags) override;
  int Write(const char* data, uint32_t byteCount, int prepass) override;
  int Close() override;
  bool NeedsPreparationPass() const override;
  QString ErrorText() const override { return error_; }

  // Samples handed over since Open, and the time the next one starts at (milliseconds).
  int64_t SamplesWritten() const { return samplesWritten_; }
  int64_t SampleTimeMs() const { return sampleTimeMs_; }

 private:
  bool WriteSample(const char* data, uint32_t byteCount);
  // Adds the front cover as a WM/Picture attribute to the finished file.
  bool AddCover();
  // Keeps the codec's first failure as this encoder's error.
  void KeepCodecError();

  WmaSettings settings_;
  std::unique_ptr<FfmpegCodec> codec_;
  std::optional<WmaAudioFormat> format_;
  int64_t samplesWritten_ = 0;
  int64_t sampleTimeMs_ = 0;
  bool writeFailed_ = false;
  QString error_;
  QString path_;
  CoverImage cover_;  // goes in once the file is complete
};
