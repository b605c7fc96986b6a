#include "app/disc_formats.h"

#include "encoders/output_format.h"

namespace {

// The formats of one kind, in menu order.
QList<FormatId> FormatsOf(FormatKind kind) {
  QList<FormatId> formats;
  for (const FormatDescriptor* format : FormatsInMenuOrder()) {
    if (format->kind == kind) formats << format->id;
  }
  return formats;
}

// The track formats, the default one first.
QList<FormatId> TrackFormats() {
  QList<FormatId> formats = FormatsOf(FormatKind::Track);
  formats.move(formats.indexOf(FormatId::Mp3), 0);
  return formats;
}

}  // namespace

QList<FormatId> AllowedFormats(const std::optional<DiscType>& type) {
  const QList<FormatId> raw = FormatsOf(FormatKind::RawImage);
  const QList<FormatId> fileSystem = FormatsOf(FormatKind::FileSystemImage);
  if (!type) return TrackFormats() + raw + fileSystem;
  switch (type->kind) {
    // A DVD is no CD: only its file system can be read.
    case DiscKind::Dvd:
    case DiscKind::DvdMultisession: return fileSystem;
    case DiscKind::DataCd: return fileSystem + raw;
    // A file-system image holds one session only.
    case DiscKind::DataCdMultisession: return raw;
    case DiscKind::AudioCd:
    case DiscKind::MixedModeCd: break;
  }
  return TrackFormats() + raw;
}
