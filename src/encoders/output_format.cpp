#include "encoders/output_format.h"

#include "encoders/audio_encoder.h"
#include "encoders/lossy_formats.h"
#include "encoders/wav_encoder.h"
#include "encoders/wma_format.h"

namespace {

template <class Format>
std::unique_ptr<OutputFormat> Make(const FormatDescriptor& descriptor) {
  return std::make_unique<Format>(descriptor);
}

// The band of the disc images and of the formats without a colour of their own.
constexpr unsigned kGreyBand = 0x56627a;

using K = FormatKind;
// A new format takes the next free stored id and goes at the end.
const FormatDescriptor kFormats[] = {
    {FormatId::Aac, EncoderType::Aac, K::Track, false, ".aac", 206, "AAC", "AAC", "aac", "AAC",
     "AAC", 0xc23b6e, Make<AacFormat>},
    {FormatId::Mp3, EncoderType::Mp3, K::Track, false, ".mp3", 207, "MP3", "MP3", "mp3", "MP3",
     "MP3", 0x2a7de1, Make<Mp3Format>},
    {FormatId::Ogg, EncoderType::Ogg, K::Track, false, ".ogg", 208, "OGG", "Ogg Vorbis", "ogg",
     "OGG", "OGG", 0xd97a1c, Make<OggFormat>},
    {FormatId::Wav, EncoderType::Wav, K::Track, true, ".wav", 209, "", "WAV", "wav", "WAV", "WAV",
     0x2a9d58, Make<WavFormat>},
    {FormatId::Wma, EncoderType::Wma, K::Track, false, ".wma", 210, "WMA", "WMA", "wma", "WMA",
     "WMA", 0x7a4cc2, Make<WmaFormat>},
    {FormatId::Iso, EncoderType::Iso, K::FileSystemImage, true, ".iso", 229, "", "ISO image", "iso",
     "ISO", "ISO", kGreyBand, Make<OutputFormat>},
    {FormatId::CueBin, EncoderType::BinCue, K::RawImage, true, ".bin", 230, "", "BIN image", "bin",
     "CUE/BIN", "BIN", kGreyBand, Make<OutputFormat>},
    {FormatId::Flac, EncoderType::Flac, K::Track, true, ".flac", 231, "FLAC", "FLAC", "flac",
     "FLAC", "FLAC", kGreyBand, Make<FlacFormat>},
    {FormatId::Opus, EncoderType::Opus, K::Track, false, ".opus", 232, "OPUS", "Opus", "opus",
     "Opus", "OPUS", kGreyBand, Make<OpusFormat>},
    {FormatId::M4a, EncoderType::M4a, K::Track, false, ".m4a", 233, "M4A", "AAC (M4A)", "m4a",
     "AAC (M4A)", "M4A", kGreyBand, Make<M4aFormat>},
};

}  // namespace

std::span<const FormatDescriptor> FormatDescriptors() { return kFormats; }

QList<const FormatDescriptor*> FormatsInMenuOrder() {
  QList<const FormatDescriptor*> formats;
  for (FormatKind kind : {K::Track, K::RawImage, K::FileSystemImage}) {
    for (const FormatDescriptor& format : kFormats) {
      if (format.kind == kind) formats << &format;
    }
  }
  return formats;
}

const FormatDescriptor& FindFormat(FormatId format) {
  for (const FormatDescriptor& descriptor : kFormats) {
    if (descriptor.id == format) return descriptor;
  }
  return FindFormat(FormatId::Mp3);
}

const FormatDescriptor* FindFormatByName(const QString& shortName) {
  for (const FormatDescriptor& descriptor : kFormats) {
    if (shortName.compare(QLatin1String(descriptor.shortName), Qt::CaseInsensitive) == 0)
      return &descriptor;
  }
  return nullptr;
}

QStringList WritableFormatShortNames() {
  QStringList names;
  for (const FormatDescriptor& descriptor : kFormats) {
    if (descriptor.make(descriptor)->IsAvailable()) names << descriptor.shortName;
  }
  return names;
}

OutputFormat::OutputFormat(const FormatDescriptor& descriptor) : descriptor_(descriptor) {}

OutputFormat::~OutputFormat() = default;

std::unique_ptr<AudioEncoder> OutputFormat::CreateEncoder() const { return nullptr; }

int OutputFormat::TypeId() const { return descriptor_.typeId; }

int OutputFormat::IsTrackFormat() const { return descriptor_.IsImage() ? 0 : 1; }

int OutputFormat::ListPosition() const { return int(&descriptor_ - kFormats); }

bool OutputFormat::IsAvailable() const {
  // The disc images are written by the rip's own writers, which need no library.
  return !IsTrackFormat() || CreateEncoder() != nullptr;
}

QString OutputFormat::UnavailableMessage() const {
  if (IsAvailable()) return QString();
  const char* work = IsTrackFormat() ? "encoding" : "writing";
  return QStringLiteral("%1 %2 is not available in this build")
      .arg(QLatin1String(descriptor_.name), QLatin1String(work));
}

std::unique_ptr<OutputFormat> CreateOutputFormat(FormatId id) {
  const FormatDescriptor& descriptor = FindFormat(id);
  std::unique_ptr<OutputFormat> format = descriptor.make(descriptor);
  format->LoadSettings();
  format->ApplySettings();
  return format;
}
