#include "encoders/aac_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cstring>

#include "encoders/id3v1_tag.h"
#include "encoders/pcm.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kFrameBytes = 4;  // one stereo frame of 16-bit samples
constexpr int kIoBufferBytes = 32768;

QString AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromUtf8(text);
}

}  // namespace

// The encoder, the muxer and its output, the frame and packet of one stream.
struct AacEncoder::Library {
  AVCodecContext* codec = nullptr;
  AVFormatContext* muxer = nullptr;
  AVIOContext* io = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int64_t nextPts = 0;

  ~Library() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
    avformat_free_context(muxer);
    avcodec_free_context(&codec);
  }
};

namespace {

// The muxer's output goes through the codec's file, so a short write is an error the muxer
// sees, with its reason kept by the file.
int WriteToFile(void* opaque, uint8_t* data, int size) {
  return static_cast<CodecFile*>(opaque)->Write(data, size) ? size : AVERROR(EIO);
}

}  // namespace

AacEncoder::AacEncoder(const AacSettings& settings) : settings_(settings) {}

AacEncoder::~AacEncoder() { Close(); }

bool AacEncoder::Fail(const QString& what, int code) {
  if (libraryError_.isEmpty()) libraryError_ = QStringLiteral("%1: %2").arg(what, AvError(code));
  return false;
}

bool AacEncoder::StartLibrary() {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are not for the user
    return true;
  }();
  (void)quiet;
  lib_ = std::make_unique<Library>();
  Library& l = *lib_;
  const AVCodec* aac = avcodec_find_encoder_by_name("aac");
  if (!aac) return Fail(QStringLiteral("No AAC encoder"), AVERROR_ENCODER_NOT_FOUND);
  l.codec = avcodec_alloc_context3(aac);
  l.frame = av_frame_alloc();
  l.packet = av_packet_alloc();
  if (!l.codec || !l.frame || !l.packet) return Fail(QStringLiteral("AAC encoder"), AVERROR(ENOMEM));
  l.codec->profile = FF_PROFILE_AAC_MAIN;
  l.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  l.codec->sample_rate = kSampleRate;
  l.codec->time_base = {1, kSampleRate};
  av_channel_layout_default(&l.codec->ch_layout, 2);
  l.codec->bit_rate = int64_t(settings_.BitRate()) * 1000;
  l.codec->cutoff = settings_.Bandwidth();
  l.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // the muxer builds ADTS headers from it
  int code = avcodec_open2(l.codec, aac, nullptr);
  if (code < 0) return Fail(QStringLiteral("The AAC encoder refused its settings"), code);
  blockBytes_ = uint32_t(l.codec->frame_size) * kFrameBytes;

  code = avformat_alloc_output_context2(&l.muxer, nullptr, "adts", nullptr);
  if (code < 0) return Fail(QStringLiteral("No ADTS writer"), code);
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  l.io = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, &file_, nullptr, WriteToFile, nullptr)
                : nullptr;
  if (!l.io) {
    av_free(buffer);
    return Fail(QStringLiteral("AAC output"), AVERROR(ENOMEM));
  }
  l.muxer->pb = l.io;
  l.muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVStream* stream = avformat_new_stream(l.muxer, nullptr);
  if (!stream) return Fail(QStringLiteral("AAC output"), AVERROR(ENOMEM));
  stream->time_base = l.codec->time_base;
  code = avcodec_parameters_from_context(stream->codecpar, l.codec);
  if (code < 0) return Fail(QStringLiteral("AAC output"), code);

  l.frame->format = AV_SAMPLE_FMT_FLTP;
  l.frame->sample_rate = kSampleRate;
  l.frame->nb_samples = l.codec->frame_size;
  av_channel_layout_copy(&l.frame->ch_layout, &l.codec->ch_layout);
  code = av_frame_get_buffer(l.frame, 0);
  if (code < 0) return Fail(QStringLiteral("AAC encoder"), code);
  return true;
}

int AacEncoder::Open(const QString& path, const TrackFacts& track, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  libraryError_.clear();
  blocksEncoded_ = 0;
  pending_.clear();
  trackIndex_ = track.trackIndex;
  tags_.reset();
  if (tags) tags_ = *tags;
  if (!StartLibrary() || !file_.Create(path)) {
    Release();
    return 0;
  }
  AVDictionary* options = nullptr;
  av_dict_set(&options, "write_mpeg2", settings_.mpegVersion ? "1" : "0", 0);
  const int code = avformat_write_header(lib_->muxer, &options);
  av_dict_free(&options);
  if (code < 0) {
    Fail(QStringLiteral("AAC output"), code);
    Release();
    return 0;
  }
  return 1;
}

// Takes every packet the encoder has ready to the muxer.
bool AacEncoder::WritePackets() {
  Library& l = *lib_;
  AVStream* stream = l.muxer->streams[0];
  for (;;) {
    const int code = avcodec_receive_packet(l.codec, l.packet);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
    if (code < 0) return Fail(QStringLiteral("The AAC encoder failed"), code);
    av_packet_rescale_ts(l.packet, l.codec->time_base, stream->time_base);
    l.packet->stream_index = 0;
    const int written = av_write_frame(l.muxer, l.packet);
    av_packet_unref(l.packet);
    if (written < 0) return Fail(QStringLiteral("AAC output"), written);
  }
}

// One block of interleaved PCM, a full block or the shorter last one, to the encoder.
bool AacEncoder::EncodeBlock(const char* pcm, uint32_t byteCount) {
  Library& l = *lib_;
  const int code = av_frame_make_writable(l.frame);
  if (code < 0) return Fail(QStringLiteral("AAC encoder"), code);
  const int frames = int(byteCount / kFrameBytes);
  auto* left = reinterpret_cast<float*>(l.frame->data[0]);
  auto* right = reinterpret_cast<float*>(l.frame->data[1]);
  for (int i = 0; i < frames; ++i) {
    left[i] = PcmFloat(pcm, 2 * size_t(i));
    right[i] = PcmFloat(pcm, 2 * size_t(i) + 1);
  }
  l.frame->nb_samples = frames;
  l.frame->pts = l.nextPts;
  l.nextPts += frames;
  const int sent = avcodec_send_frame(l.codec, l.frame);
  if (sent < 0) return Fail(QStringLiteral("The AAC encoder failed"), sent);
  ++blocksEncoded_;
  return WritePackets();
}

int AacEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !lib_ || !file_.IsOpen() || writeFailed_) return 0;
  pending_.insert(pending_.end(), data, data + byteCount);
  size_t used = 0;
  bool ok = true;
  while (ok && pending_.size() - used >= blockBytes_) {
    ok = EncodeBlock(pending_.data() + used, blockBytes_);
    used += blockBytes_;
  }
  pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(used));
  // The muxer's buffer goes to the file now, so a failed write shows in this Write.
  if (ok) {
    avio_flush(lib_->io);
    ok = lib_->io->error >= 0 || Fail(QStringLiteral("AAC output"), lib_->io->error);
  }
  if (!ok) writeFailed_ = true;
  return ok ? 1 : 0;
}

// Encodes the PCM still waiting (less than a block), drains the encoder of its delayed
// frames and ends the stream.
bool AacEncoder::Finish() {
  Library& l = *lib_;
  uint32_t lastBytes = uint32_t(pending_.size()) / kFrameBytes * kFrameBytes;
  if (lastBytes > 0 && !(l.codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
    pending_.resize(blockBytes_, 0);  // a full block, completed with silence
    lastBytes = blockBytes_;
  }
  if (lastBytes > 0 && !EncodeBlock(pending_.data(), lastBytes)) return false;
  pending_.clear();
  const int code = avcodec_send_frame(l.codec, nullptr);
  if (code < 0) return Fail(QStringLiteral("The AAC encoder failed"), code);
  if (!WritePackets()) return false;
  const int ended = av_write_trailer(l.muxer);
  if (ended < 0) return Fail(QStringLiteral("AAC output"), ended);
  avio_flush(l.io);
  return l.io->error >= 0 || Fail(QStringLiteral("AAC output"), l.io->error);
}

int AacEncoder::Close() {
  if (!lib_ || !file_.IsOpen()) {
    Release();
    return 1;
  }
  bool ok = !writeFailed_ && Finish();
  if (tags_) ok = file_.Write(Id3v1::Tag(*tags_, trackIndex_)) && ok;
  ok = file_.Close() && ok;
  Release();
  return ok ? 1 : 0;
}

void AacEncoder::Release() {
  lib_.reset();
  file_.Discard();
  pending_ = {};
}

QString AacEncoder::ErrorText() const {
  // A failed write shows first as the muxer's I/O error; the file knows the system's reason.
  return file_.ErrorText().isEmpty() ? libraryError_ : file_.ErrorText();
}
