#include "encoders/m4a_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
}

#include <QFile>
#include <QFileInfo>

#include "encoders/mp4_tag.h"

M4aEncoder::M4aEncoder(const M4aSettings& settings) : settings_(settings) {}

M4aEncoder::~M4aEncoder() { Close(); }

int M4aEncoder::Open(const QString& path, const TrackFacts& track, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  error_.clear();
  path_ = path;
  trackCount_ = track.trackCount;
  tags_.reset();
  if (tags) tags_ = *tags;
  codec_ = std::make_unique<FfmpegCodec>(QStringLiteral("AAC"));
  const auto lowComplexity = [](AVCodecContext* context) {
    context->profile = FF_PROFILE_AAC_LOW;
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // MP4 keeps the decoder setup in its index
  };
  bool ok = codec_->OpenEncoder("aac", int64_t(settings_.BitRate()) * 1000, lowComplexity) &&
            codec_->OpenMuxer("ipod", path);
  if (ok) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    ok = codec_->WriteHeader(&options);
    av_dict_free(&options);
  }
  if (!ok) Release();
  return ok ? 1 : 0;
}

int M4aEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !codec_ || writeFailed_) return 0;
  const bool ok = codec_->Feed(data, byteCount) && codec_->FlushOutput();
  if (!ok) writeFailed_ = true;
  return ok ? 1 : 0;
}

int M4aEncoder::Close() {
  if (!codec_) {
    Release();
    return 1;
  }
  bool ok = !writeFailed_ && codec_->Finish();
  ok = codec_->CloseFile() && ok;
  error_ = codec_->Error();
  codec_.reset();
  // The tags go in once the muxer has written the whole index.
  if (ok && tags_) {
    error_ = Mp4Tag::Write(path_, *tags_, trackCount_);
    ok = error_.isEmpty();
  }
  return ok ? 1 : 0;
}

// Drops the codec and, when the file was not finished, what it wrote.
void M4aEncoder::Release() {
  if (!codec_) return;
  if (error_.isEmpty()) error_ = codec_->Error();
  codec_.reset();
  if (QFileInfo(path_).isFile()) QFile::remove(path_);  // the path may name a device
}

QString M4aEncoder::ErrorText() const { return codec_ ? codec_->Error() : error_; }
