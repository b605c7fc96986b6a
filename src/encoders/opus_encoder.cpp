#include "encoders/opus_encoder.h"

#include <opusenc.h>

#include <random>

#include "encoders/pcm.h"
#include "encoders/vorbis_comments.h"

namespace {

constexpr int kChannels = 2;
constexpr opus_int32 kSampleRate = 44100;
constexpr uint32_t kFrameBytes = 4;

int RateModeRequest(OpusSettings::Mode mode, bool& constrained) {
  constrained = mode == OpusSettings::ConstrainedVbr;
  return mode == OpusSettings::Cbr ? 0 : 1;
}

// Owns a comment list until the encoder has copied it.
struct Comments {
  OggOpusComments* list = ope_comments_create();
  ~Comments() {
    if (list) ope_comments_destroy(list);
  }
};

}  // namespace

struct OpusCallbacks {
  static int Write(void* self, const unsigned char* data, opus_int32 length) {
    return static_cast<OpusFileEncoder*>(self)->file_.Write(data, length) ? 0 : 1;
  }
  static int Close(void*) { return 0; }  // the codec closes its file itself
};

OpusFileEncoder::OpusFileEncoder(const OpusSettings& settings) : settings_(settings) {}

OpusFileEncoder::~OpusFileEncoder() { Close(); }

bool OpusFileEncoder::Fail(const char* what, int code) {
  if (libraryError_.isEmpty()) {
    libraryError_ = QStringLiteral("The Opus encoder failed to %1: %2")
                        .arg(QLatin1String(what), QLatin1String(ope_strerror(code)));
  }
  return false;
}

bool OpusFileEncoder::StartLibrary(const TrackFacts& track, const TagRecord* tags) {
  Comments comments;
  if (!comments.list) return Fail("start", OPE_ALLOC_FAIL);
  if (tags) {
    for (const auto& [name, value] : VorbisComments(*tags, track)) {
      const int code = ope_comments_add(comments.list, name, value.constData());
      if (code != OPE_OK) return Fail("take the tags", code);
    }
    const QByteArray picture = PictureCommentValue(*tags);
    const int code = picture.isEmpty() ? OPE_OK
                                       : ope_comments_add(comments.list, "METADATA_BLOCK_PICTURE",
                                                          picture.constData());
    if (code != OPE_OK) return Fail("take the cover", code);
  }
  static constexpr OpusEncCallbacks kCallbacks{OpusCallbacks::Write, OpusCallbacks::Close};
  int code = OPE_OK;
  encoder_ = ope_encoder_create_callbacks(&kCallbacks, this, comments.list, kSampleRate, kChannels,
                                          0, &code);
  if (!encoder_) return Fail("start", code);
  bool constrained = false;
  const int vbr = RateModeRequest(settings_.RateMode(), constrained);
  const opus_int32 serial = opus_int32(std::random_device{}() & 0x7fffffff);
  const int requests[] = {
      ope_encoder_ctl(encoder_, OPE_SET_SERIALNO(serial)),
      ope_encoder_ctl(encoder_, OPUS_SET_BITRATE(opus_int32(settings_.BitRate()) * 1000)),
      ope_encoder_ctl(encoder_, OPUS_SET_VBR(vbr)),
      ope_encoder_ctl(encoder_, OPUS_SET_VBR_CONSTRAINT(constrained ? 1 : 0)),
      ope_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(settings_.Complexity())),
      ope_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC)),
  };
  for (int result : requests) {
    if (result != OPE_OK) return Fail("take its settings", result);
  }
  return true;
}

int OpusFileEncoder::Open(const QString& path, const TrackFacts& track, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  libraryError_.clear();
  const bool ok = StartLibrary(track, tags) && file_.Create(path);
  if (!ok) Release();
  return ok ? 1 : 0;
}

int OpusFileEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !encoder_ || !file_.IsOpen() || writeFailed_) return 0;
  // A stereo frame split between two Writes is completed from the next one.
  carry_.insert(carry_.end(), data, data + byteCount);
  const uint32_t frames = uint32_t(carry_.size()) / kFrameBytes;
  samples_.resize(size_t(frames) * kChannels);
  for (size_t i = 0; i < samples_.size(); ++i) samples_[i] = PcmSample(carry_.data(), i);
  carry_.erase(carry_.begin(), carry_.begin() + ptrdiff_t(frames * kFrameBytes));
  const int code = ope_encoder_write(encoder_, samples_.data(), int(frames));
  if (code != OPE_OK) {
    writeFailed_ = true;
    Fail("encode", code);
    return 0;
  }
  return 1;
}

int OpusFileEncoder::Close() {
  if (!encoder_ || !file_.IsOpen()) {
    Release();
    return 1;
  }
  // The drain encodes the rest, then writes the last page with the end trimming.
  bool ok = !writeFailed_;
  if (ok) {
    const int code = ope_encoder_drain(encoder_);
    ok = code == OPE_OK || Fail("finish", code);
  }
  ok = file_.Close() && ok;
  Release();
  return ok ? 1 : 0;
}

void OpusFileEncoder::Release() {
  if (encoder_) ope_encoder_destroy(encoder_);
  encoder_ = nullptr;
  carry_.clear();
  file_.Discard();
}

QString OpusFileEncoder::ErrorText() const {
  return file_.ErrorText().isEmpty() ? libraryError_ : file_.ErrorText();
}
