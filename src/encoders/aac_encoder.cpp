#include "encoders/aac_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

#include "encoders/id3v1_tag.h"

AacEncoder::AacEncoder(const AacSettings& settings) : settings_(settings) {}

AacEncoder::~AacEncoder() { Close(); }

bool AacEncoder::StartLibrary() {
  codec_ = std::make_unique<FfmpegCodec>(QStringLiteral("AAC"));
  const auto tune = [this](AVCodecContext* context) {
    context->profile = FF_PROFILE_AAC_MAIN;
    context->cutoff = settings_.Bandwidth();
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the muxer builds ADTS headers from it
  };
  // The muxer's output goes through the codec's file, so a short write is an error the muxer
  // sees, with its reason kept by the file.
  const auto toFile = [this](const uint8_t* data, int size) { return file_.Write(data, size); };
  return codec_->OpenEncoder("aac", int64_t(settings_.BitRate()) * 1000, tune) &&
         codec_->OpenMuxer("adts", toFile);
}

int AacEncoder::Open(const QString& path, const TrackFacts& track, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  libraryError_.clear();
  trackIndex_ = track.trackIndex;
  tags_.reset();
  if (tags) tags_ = *tags;
  bool ok = StartLibrary() && file_.Create(path);
  if (ok) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "write_mpeg2", settings_.mpegVersion ? "1" : "0", 0);
    ok = codec_->WriteHeader(&options);
    av_dict_free(&options);
  }
  if (!ok) Release();
  return ok ? 1 : 0;
}

int AacEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !codec_ || !file_.IsOpen() || writeFailed_) return 0;
  // The muxer's buffer goes to the file now, so a failed write shows in this Write.
  const bool ok = codec_->Feed(data, byteCount) && codec_->FlushOutput();
  if (!ok) writeFailed_ = true;
  return ok ? 1 : 0;
}

int AacEncoder::Close() {
  if (!codec_ || !file_.IsOpen()) {
    Release();
    return 1;
  }
  bool ok = !writeFailed_ && codec_->Finish();
  if (tags_) ok = file_.Write(Id3v1::Tag(*tags_, trackIndex_)) && ok;
  ok = file_.Close() && ok;
  Release();
  return ok ? 1 : 0;
}

void AacEncoder::Release() {
  if (codec_ && libraryError_.isEmpty()) libraryError_ = codec_->Error();
  codec_.reset();
  file_.Discard();
}

QString AacEncoder::ErrorText() const {
  // A failed write shows first as the muxer's I/O error; the file knows the system's reason.
  if (!file_.ErrorText().isEmpty()) return file_.ErrorText();
  return codec_ ? codec_->Error() : libraryError_;
}
