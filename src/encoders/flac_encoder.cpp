#include "encoders/flac_encoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>

#include "encoders/pcm.h"
#include "encoders/tag_record.h"
#include "encoders/vorbis_comments.h"
#include "platform/cd_sector.h"

namespace {

constexpr unsigned kChannels = 2;
constexpr unsigned kSampleRate = 44100;
constexpr unsigned kBitsPerSample = 16;
constexpr uint32_t kFrameBytes = 4;
constexpr uint32_t kPieceFrames = 4096;  // frames handed to libFLAC at a time

uint64_t FramesOf(const TrackFacts& track) {
  return uint64_t(track.sectorCount) * (kCdSectorBytes / kFrameBytes);
}

}  // namespace

struct FlacCallbacks {
  static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte data[],
                                              size_t bytes, uint32_t, uint32_t, void* self) {
    return static_cast<FlacEncoder*>(self)->WriteOut(data, bytes)
               ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }
  static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                            void* self) {
    return static_cast<FlacEncoder*>(self)->SeekOut(offset)
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
               : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  }
  static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                            void* self) {
    *offset = static_cast<FlacEncoder*>(self)->position();
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }
};

FlacEncoder::FlacEncoder(const FlacSettings& settings) : settings_(settings) {}

FlacEncoder::~FlacEncoder() { Close(); }

bool FlacEncoder::WriteOut(const uint8_t* data, size_t byteCount) {
  const bool ok = position_ == end_ ? file_.Write(data, int64_t(byteCount))
                                    : file_.WriteAt(int64_t(position_), data, int64_t(byteCount));
  if (!ok) return false;
  position_ += byteCount;
  end_ = std::max(end_, position_);
  return true;
}

// libFLAC goes back only over what it wrote itself (STREAMINFO, the seek table).
bool FlacEncoder::SeekOut(uint64_t offset) {
  if (offset > end_) return false;
  position_ = offset;
  return true;
}

bool FlacEncoder::Fail(const char* what) {
  if (libraryError_.isEmpty()) {
    const char* state = encoder_ ? FLAC__stream_encoder_get_resolved_state_string(encoder_) : "";
    libraryError_ = QStringLiteral("The FLAC encoder failed to %1: %2")
                        .arg(QLatin1String(what), QLatin1String(state));
  }
  return false;
}

// The front cover as a PICTURE block, when there is one.
bool FlacEncoder::AddPicture(const CoverImage& cover) {
  if (cover.IsEmpty()) return true;
  FLAC__StreamMetadata* picture = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
  if (!picture) return false;
  metadata_.push_back(picture);
  picture->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
  QByteArray mime = cover.MimeType().toLatin1();
  QByteArray bytes = cover.bytes;
  return FLAC__metadata_object_picture_set_mime_type(picture, mime.data(), true) &&
         FLAC__metadata_object_picture_set_data(picture,
                                                reinterpret_cast<FLAC__byte*>(bytes.data()),
                                                FLAC__uint32(bytes.size()), true);
}

bool FlacEncoder::AddMetadata(const TrackFacts& track, const TagRecord* tags) {
  if (tags) {
    FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!comments) return false;
    metadata_.push_back(comments);
    for (const auto& [name, value] : VorbisComments(*tags, track)) {
      FLAC__StreamMetadata_VorbisComment_Entry entry;
      if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name,
                                                                          value.constData()) ||
          !FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, false)) {
        return false;
      }
    }
    if (!AddPicture(tags->cover)) return false;
  }
  const uint64_t totalFrames = FramesOf(track);
  if (totalFrames > 0) {
    FLAC__StreamMetadata* seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    if (!seekTable) return false;
    metadata_.push_back(seekTable);
    if (!FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
            seekTable, kSeekPointSeconds * kSampleRate, totalFrames) ||
        !FLAC__metadata_object_seektable_template_sort(seekTable, true)) {
      return false;
    }
  }
  FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
  if (!padding) return false;
  padding->length = kPaddingBytes;
  metadata_.push_back(padding);
  return true;
}

bool FlacEncoder::StartLibrary(const TrackFacts& track, const TagRecord* tags) {
  encoder_ = FLAC__stream_encoder_new();
  if (!encoder_) return Fail("start");
  bool ok = FLAC__stream_encoder_set_channels(encoder_, kChannels) &&
            FLAC__stream_encoder_set_bits_per_sample(encoder_, kBitsPerSample) &&
            FLAC__stream_encoder_set_sample_rate(encoder_, kSampleRate) &&
            FLAC__stream_encoder_set_compression_level(encoder_, unsigned(settings_.Level())) &&
            FLAC__stream_encoder_set_verify(encoder_, settings_.verify != 0) &&
            FLAC__stream_encoder_set_total_samples_estimate(encoder_, FramesOf(track));
  if (!ok || !AddMetadata(track, tags)) return Fail("take its settings");
  if (!FLAC__stream_encoder_set_metadata(encoder_, metadata_.data(), unsigned(metadata_.size()))) {
    return Fail("take the tags");
  }
  const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
      encoder_, FlacCallbacks::Write, FlacCallbacks::Seek, FlacCallbacks::Tell, nullptr, this);
  if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    libraryError_ = QStringLiteral("The FLAC encoder failed to start: %1")
                        .arg(QLatin1String(FLAC__StreamEncoderInitStatusString[status]));
    return false;
  }
  return true;
}

int FlacEncoder::Open(const QString& path, const TrackFacts& track, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  libraryError_.clear();
  // The file first: libFLAC writes the stream's start as soon as it is initialised.
  const bool ok = file_.Create(path) && StartLibrary(track, tags);
  if (!ok) Release();
  return ok ? 1 : 0;
}

bool FlacEncoder::EncodeFrames(const char* data, uint32_t frameCount) {
  for (uint32_t done = 0; done < frameCount;) {
    const uint32_t frames = std::min(kPieceFrames, frameCount - done);
    samples_.resize(size_t(frames) * kChannels);
    for (size_t i = 0; i < samples_.size(); ++i) {
      samples_[i] = PcmSample(data, size_t(done) * kChannels + i);
    }
    if (!FLAC__stream_encoder_process_interleaved(encoder_, samples_.data(), frames)) {
      return Fail("encode");
    }
    done += frames;
  }
  return true;
}

int FlacEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !encoder_ || writeFailed_) return 0;
  // A stereo frame split between two Writes is completed from the next one.
  if (!carry_.empty()) {
    const uint32_t taken = std::min(byteCount, kFrameBytes - uint32_t(carry_.size()));
    carry_.insert(carry_.end(), data, data + taken);
    data += taken;
    byteCount -= taken;
    if (carry_.size() == kFrameBytes) {
      writeFailed_ = !EncodeFrames(carry_.data(), 1);
      carry_.clear();
    }
  }
  const uint32_t whole = byteCount / kFrameBytes;
  if (!writeFailed_) writeFailed_ = !EncodeFrames(data, whole);
  carry_.assign(data + whole * kFrameBytes, data + byteCount);
  return writeFailed_ ? 0 : 1;
}

int FlacEncoder::Close() {
  if (!encoder_) {
    Release();
    return 1;
  }
  // finish writes the last frame, then STREAMINFO (length, MD5) and the seek table over
  // their places; with verify on, it also reports a mismatch found at the end.
  bool ok = !writeFailed_ && (FLAC__stream_encoder_finish(encoder_) || Fail("finish"));
  ok = file_.Close() && ok;
  Release();
  return ok ? 1 : 0;
}

void FlacEncoder::Release() {
  if (encoder_) FLAC__stream_encoder_delete(encoder_);
  encoder_ = nullptr;
  for (FLAC__StreamMetadata* block : metadata_) FLAC__metadata_object_delete(block);
  metadata_.clear();
  carry_.clear();
  position_ = end_ = 0;
  file_.Discard();
}

QString FlacEncoder::ErrorText() const {
  return file_.ErrorText().isEmpty() ? libraryError_ : file_.ErrorText();
}
