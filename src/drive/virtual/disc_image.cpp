#include "drive/virtual/disc_image.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "drive/virtual/raw_sector.h"

int StoredSectorSize(TrackMode mode) {
  return mode == TrackMode::Mode1Cooked ? RawSector::kUserSize : kCdSectorBytes;
}

bool IsDataMode(TrackMode mode) { return mode != TrackMode::Audio; }

DiscImage::DiscImage(DiscLayout layout) : layout_(std::move(layout)) {}

DiscImage::~DiscImage() = default;

std::shared_ptr<const DiscImage> DiscImage::Open(DiscLayout layout, QString* error) {
  std::shared_ptr<DiscImage> image(new DiscImage(std::move(layout)));
  for (const QString& path : image->layout_.files) {
    const ReadableFile file = ReadableFile::Open(QFile::encodeName(path));
    if (file.Error()) {
      if (error)
        *error = QStringLiteral("cannot open \"%1\": %2")
                     .arg(path, QString::fromLocal8Bit(strerror(file.Error())));
      return nullptr;
    }
    image->files_.append(file);
  }
  return image;
}

std::shared_ptr<const DiscImage> DiscImage::Generated(DiscLayout layout, Synthesizer synthesizer) {
  std::shared_ptr<DiscImage> image(new DiscImage(std::move(layout)));
  image->synthesizer_ = std::move(synthesizer);
  return image;
}

bool DiscImage::HasCdText() const {
  if (!layout_.title.isEmpty() || !layout_.performer.isEmpty()) return true;
  return std::any_of(layout_.tracks.begin(), layout_.tracks.end(), [](const DiscTrack& track) {
    return !track.title.isEmpty() || !track.performer.isEmpty();
  });
}

int DiscImage::LeadOut() const { return layout_.tracks.isEmpty() ? 0 : layout_.tracks.last().end; }

const DiscTrack* DiscImage::TrackAt(int lba) const {
  for (const DiscTrack& track : layout_.tracks) {
    if (lba >= track.pregapStart && lba < track.end) return &track;
  }
  return nullptr;
}

const SectorRun* DiscImage::RunAt(int lba) const {
  const auto& runs = layout_.runs;
  auto after = std::upper_bound(runs.begin(), runs.end(), lba, [](int value, const SectorRun& run) {
    return value < run.firstLba;
  });
  if (after == runs.begin()) return nullptr;
  const SectorRun& run = *(after - 1);
  return lba < run.firstLba + run.count ? &run : nullptr;
}

bool DiscImage::ReadFile(int file, qint64 offset, qint64 length, uint8_t* out) const {
  if (file < 0 || file >= files_.size()) return false;
  while (length > 0) {
    const int64_t got = files_[file].ReadAt(reinterpret_cast<char*>(out), length, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += got;
    length -= got;
  }
  return true;
}

bool DiscImage::ReadRunRaw(const SectorRun& run, int lba, int count, uint8_t* out) const {
  const int first = lba - run.firstLba;
  if (run.source == SectorRun::Source::File && run.mode != TrackMode::Mode1Cooked) {
    return ReadFile(run.file, run.offset + qint64(first) * kCdSectorBytes,
                    qint64(count) * kCdSectorBytes, out);
  }
  for (int i = 0; i < count; ++i, out += kCdSectorBytes) {
    const int sector = lba + i;
    switch (run.source) {
      case SectorRun::Source::File:  // Mode 1 user data: the rest of the sector is made here
        if (!ReadFile(run.file, run.offset + qint64(first + i) * RawSector::kUserSize,
                      RawSector::kUserSize, out + RawSector::kMode1UserOffset)) {
          return false;
        }
        RawSector::FinishMode1(sector, out);
        break;
      case SectorRun::Source::Generated:
        if (!synthesizer_) return false;
        synthesizer_(sector, out);
        break;
      case SectorRun::Source::Blank:
        if (run.mode == TrackMode::Audio) {
          std::memset(out, 0, kCdSectorBytes);
        } else if (run.mode == TrackMode::Mode2Raw) {
          RawSector::MakeMode2Blank(sector, out);
        } else {
          std::memset(out + RawSector::kMode1UserOffset, 0, RawSector::kUserSize);
          RawSector::FinishMode1(sector, out);
        }
        break;
    }
  }
  return true;
}

bool DiscImage::ReadRaw(int lba, int count, uint8_t* out) const {
  if (lba < 0 || count < 0 || lba + qint64(count) > LeadOut()) return false;
  while (count > 0) {
    const SectorRun* run = RunAt(lba);
    if (!run) return false;
    const int inRun = std::min(count, run->firstLba + run->count - lba);
    if (!ReadRunRaw(*run, lba, inRun, out)) return false;
    lba += inRun;
    count -= inRun;
    out += qint64(inRun) * kCdSectorBytes;
  }
  return true;
}

bool DiscImage::ReadUser(int lba, uint8_t* out2048) const {
  const SectorRun* run = RunAt(lba);
  if (!run || !IsDataMode(run->mode)) return false;
  const int userOffset = run->mode == TrackMode::Mode2Raw ? RawSector::kMode2Form1UserOffset
                                                          : RawSector::kMode1UserOffset;
  if (run->source != SectorRun::Source::File) {
    std::memset(out2048, 0, RawSector::kUserSize);
    return true;
  }
  const qint64 index = lba - run->firstLba;
  if (run->mode == TrackMode::Mode1Cooked) {
    return ReadFile(run->file, run->offset + index * RawSector::kUserSize, RawSector::kUserSize,
                    out2048);
  }
  return ReadFile(run->file, run->offset + index * kCdSectorBytes + userOffset,
                  RawSector::kUserSize, out2048);
}
