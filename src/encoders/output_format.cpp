#include "encoders/output_format.h"

#include "encoders/audio_encoder.h"
#include "encoders/lossy_formats.h"
#include "encoders/wav_encoder.h"
#include "encoders/wma_format.h"

namespace {

constexpr FormatRow kRows[] = {
    {FormatId::Aac, EncoderType::Aac, ".aac", 206, 0, "AAC", "AAC", "aac"},
    {FormatId::Mp3, EncoderType::Mp3, ".mp3", 207, 1, "MP3", "MP3", "mp3"},
    {FormatId::Ogg, EncoderType::Ogg, ".ogg", 208, 2, "OGG", "Ogg Vorbis", "ogg"},
    {FormatId::Wav, EncoderType::Wav, ".wav", 209, 3, "", "WAV", "wav"},
    {FormatId::Wma, EncoderType::Wma, ".wma", 210, 4, "WMA", "WMA", "wma"},
    {FormatId::Iso, EncoderType::Iso, ".iso", 229, 5, "", "ISO image", "iso"},
    {FormatId::CueBin, EncoderType::BinCue, ".bin", 230, 6, "", "BIN image", "bin"},
    {FormatId::Flac, EncoderType::Flac, ".flac", 231, 7, "FLAC", "FLAC", "flac"},
    {FormatId::Opus, EncoderType::Opus, ".opus", 232, 8, "OPUS", "Opus", "opus"},
    {FormatId::M4a, EncoderType::M4a, ".m4a", 233, 9, "M4A", "AAC (M4A)", "m4a"},
};

bool IsImageType(int typeId) { return typeId == EncoderType::Iso || typeId == EncoderType::BinCue; }

template <class Format>
std::unique_ptr<OutputFormat> Make(const FormatRow& row) {
  return std::make_unique<Format>(row);
}

// The formats with a class of their own; every other row is a plain OutputFormat.
const struct {
  FormatId menuId;
  std::unique_ptr<OutputFormat> (*make)(const FormatRow&);
} kFormatClasses[] = {
    {FormatId::Wav, Make<WavFormat>},   {FormatId::Mp3, Make<Mp3Format>},
    {FormatId::Ogg, Make<OggFormat>},   {FormatId::Aac, Make<AacFormat>},
    {FormatId::Wma, Make<WmaFormat>},   {FormatId::Flac, Make<FlacFormat>},
    {FormatId::Opus, Make<OpusFormat>}, {FormatId::M4a, Make<M4aFormat>},
};

std::unique_ptr<OutputFormat> MakeFormat(const FormatRow& row) {
  for (const auto& format : kFormatClasses) {
    if (format.menuId == row.menuId) return format.make(row);
  }
  return Make<OutputFormat>(row);
}

}  // namespace

std::span<const FormatRow> FormatRows() { return kRows; }

const FormatRow& FindFormatRow(FormatId format) {
  for (const FormatRow& row : kRows) {
    if (row.menuId == format) return row;
  }
  return kRows[1];  // MP3's, for a number outside the enumeration
}

const FormatRow* FindFormatRowByShortName(const QString& shortName) {
  for (const FormatRow& row : kRows) {
    if (shortName.compare(QLatin1String(row.shortName), Qt::CaseInsensitive) == 0) return &row;
  }
  return nullptr;
}

QStringList WritableFormatShortNames() {
  QStringList names;
  for (const FormatRow& row : kRows) {
    if (MakeFormat(row)->IsAvailable()) names << QString::fromLatin1(row.shortName);
  }
  return names;
}

OutputFormat::OutputFormat(const FormatRow& row) : row_(row) {}

OutputFormat::~OutputFormat() = default;

std::unique_ptr<AudioEncoder> OutputFormat::CreateEncoder() const { return nullptr; }

int OutputFormat::TypeId() const { return row_.typeId; }

int OutputFormat::IsTrackFormat() const { return IsImageType(row_.typeId) ? 0 : 1; }

bool OutputFormat::IsAvailable() const {
  // The disc images are written by the rip's own writers, which need no library.
  return !IsTrackFormat() || CreateEncoder() != nullptr;
}

QString OutputFormat::UnavailableMessage() const {
  if (IsAvailable()) return QString();
  const char* work = IsTrackFormat() ? "encoding" : "writing";
  return QStringLiteral("%1 %2 is not available in this build")
      .arg(QLatin1String(row_.name), QLatin1String(work));
}

std::unique_ptr<OutputFormat> CreateOutputFormat(FormatId id) {
  std::unique_ptr<OutputFormat> format = MakeFormat(FindFormatRow(id));
  format->LoadSettings();
  format->ApplySettings();
  return format;
}
