#include "app/disc_formats.h"

QList<FormatId> AllowedFormats(const std::optional<DiscType>& type) {
  using F = FormatId;
  if (!type) {
    return {F::Mp3, F::Aac, F::Ogg, F::Wav, F::Wma, F::Flac, F::Opus, F::M4a, F::CueBin, F::Iso};
  }
  switch (type->kind) {
    case DiscKind::Dvd:
    case DiscKind::DvdMultisession: return {F::Iso};
    case DiscKind::DataCd: return {F::Iso, F::CueBin};
    case DiscKind::DataCdMultisession: return {F::CueBin};
    case DiscKind::AudioCd:
    case DiscKind::MixedModeCd: break;
  }
  return {F::Mp3, F::Aac, F::Ogg, F::Wav, F::Wma, F::Flac, F::Opus, F::M4a, F::CueBin};
}
