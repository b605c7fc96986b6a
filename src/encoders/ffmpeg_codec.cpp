#include "encoders/ffmpeg_codec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QDir>
#include <QFile>

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

// The muxer's output goes through the codec's writer, so a short write is an error the
// muxer sees.
int WriteThroughWriter(void* opaque, uint8_t* data, int size) {
  return (*static_cast<FfmpegCodec::OutputWriter*>(opaque))(data, size) ? size : AVERROR(EIO);
}

}  // namespace

FfmpegCodec::FfmpegCodec(const QString& codecName) : codecName_(codecName) {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are not for the user
    return true;
  }();
  (void)quiet;
}

FfmpegCodec::~FfmpegCodec() {
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  if (customIo_) {
    av_freep(&customIo_->buffer);
    avio_context_free(&customIo_);
    if (muxer_) muxer_->pb = nullptr;
  } else if (muxer_) {
    avio_closep(&muxer_->pb);
  }
  avformat_free_context(muxer_);
  avcodec_free_context(&codec_);
}

bool FfmpegCodec::Fail(const QString& what, int code) {
  if (error_.isEmpty()) error_ = QStringLiteral("%1: %2").arg(what, AvError(code));
  return false;
}

bool FfmpegCodec::OpenEncoder(const char* encoder, int64_t bitRate,
                              const std::function<void(AVCodecContext*)>& tune) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
  if (!codec) return Fail(QStringLiteral("No %1").arg(Encoder()), AVERROR_ENCODER_NOT_FOUND);
  codec_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!codec_ || !frame_ || !packet_) return Fail(Encoder(), AVERROR(ENOMEM));
  codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec_->sample_rate = kSampleRate;
  codec_->time_base = {1, kSampleRate};
  av_channel_layout_default(&codec_->ch_layout, 2);
  codec_->bit_rate = bitRate;
  if (tune) tune(codec_);
  int code = avcodec_open2(codec_, codec, nullptr);
  if (code < 0) return Fail(QStringLiteral("The %1 refused its settings").arg(Encoder()), code);
  frameBytes_ = uint32_t(codec_->frame_size) * kFrameBytes;

  frame_->format = AV_SAMPLE_FMT_FLTP;
  frame_->sample_rate = kSampleRate;
  frame_->nb_samples = codec_->frame_size;
  code = av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout);
  if (code >= 0) code = av_frame_get_buffer(frame_, 0);
  return code >= 0 || Fail(Encoder(), code);
}

bool FfmpegCodec::AttachStream(const char* format, const char* url) {
  if (!codec_) return Fail(Encoder(), AVERROR(EINVAL));
  const int made = avformat_alloc_output_context2(&muxer_, nullptr, format, url);
  if (made < 0)
    return Fail(QStringLiteral("No %1 writer").arg(QString::fromLatin1(format).toUpper()), made);
  AVStream* stream = avformat_new_stream(muxer_, nullptr);
  if (!stream) return Fail(Output(), AVERROR(ENOMEM));
  stream->time_base = codec_->time_base;
  const int code = avcodec_parameters_from_context(stream->codecpar, codec_);
  return code >= 0 || Fail(Output(), code);
}

bool FfmpegCodec::OpenMuxer(const char* format, const QString& path) {
  // The muxer knows the file's name, so one that rewrites its output (MP4's faststart) can
  // read it back.
  const QByteArray name = QFile::encodeName(path);
  if (!AttachStream(format, name.constData())) return false;
  const int code = avio_open(&muxer_->pb, name.constData(), AVIO_FLAG_WRITE);
  return code >= 0 || Fail(QDir::toNativeSeparators(path), code);
}

bool FfmpegCodec::OpenMuxer(const char* format, OutputWriter writer) {
  if (!AttachStream(format, nullptr)) return false;
  writer_ = std::move(writer);
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  customIo_ = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, &writer_, nullptr,
                                          WriteThroughWriter, nullptr)
                     : nullptr;
  if (!customIo_) {
    av_free(buffer);
    return Fail(Output(), AVERROR(ENOMEM));
  }
  muxer_->pb = customIo_;
  muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
  return true;
}

bool FfmpegCodec::WriteHeader(AVDictionary** options) {
  const int code = avformat_write_header(muxer_, options);
  return code >= 0 || Fail(Output(), code);
}

// Takes every packet the encoder has ready to the muxer.
bool FfmpegCodec::WritePackets() {
  AVStream* stream = muxer_->streams[0];
  for (;;) {
    const int code = avcodec_receive_packet(codec_, packet_);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
    if (code < 0) return Fail(QStringLiteral("The %1 failed").arg(Encoder()), code);
    av_packet_rescale_ts(packet_, codec_->time_base, stream->time_base);
    packet_->stream_index = 0;
    const int written = av_write_frame(muxer_, packet_);
    av_packet_unref(packet_);
    if (written < 0) return Fail(Output(), written);
  }
}

// One frame of interleaved PCM, whole or the shorter last one, to the encoder.
bool FfmpegCodec::EncodeFrame(const char* pcm, uint32_t byteCount) {
  const int code = av_frame_make_writable(frame_);
  if (code < 0) return Fail(Encoder(), code);
  const int frames = int(byteCount / kFrameBytes);
  auto* left = reinterpret_cast<float*>(frame_->data[0]);
  auto* right = reinterpret_cast<float*>(frame_->data[1]);
  for (int i = 0; i < frames; ++i) {
    left[i] = PcmFloat(pcm, 2 * size_t(i));
    right[i] = PcmFloat(pcm, 2 * size_t(i) + 1);
  }
  frame_->nb_samples = frames;
  frame_->pts = nextPts_;
  nextPts_ += frames;
  const int sent = avcodec_send_frame(codec_, frame_);
  if (sent < 0) return Fail(QStringLiteral("The %1 failed").arg(Encoder()), sent);
  ++framesEncoded_;
  return WritePackets();
}

bool FfmpegCodec::Feed(const char* pcm, uint32_t byteCount) {
  pending_.insert(pending_.end(), pcm, pcm + byteCount);
  size_t used = 0;
  bool ok = true;
  while (ok && pending_.size() - used >= frameBytes_) {
    ok = EncodeFrame(pending_.data() + used, frameBytes_);
    used += frameBytes_;
  }
  pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(used));
  return ok;
}

bool FfmpegCodec::FlushOutput() {
  avio_flush(muxer_->pb);
  return muxer_->pb->error >= 0 || Fail(Output(), muxer_->pb->error);
}

bool FfmpegCodec::Finish() {
  uint32_t lastBytes = uint32_t(pending_.size()) / kFrameBytes * kFrameBytes;
  if (lastBytes > 0 && !(codec_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
    pending_.resize(frameBytes_, 0);  // a whole frame, completed with silence
    lastBytes = frameBytes_;
  }
  if (lastBytes > 0 && !EncodeFrame(pending_.data(), lastBytes)) return false;
  pending_.clear();
  const int code = avcodec_send_frame(codec_, nullptr);
  if (code < 0) return Fail(QStringLiteral("The %1 failed").arg(Encoder()), code);
  if (!WritePackets()) return false;
  const int ended = av_write_trailer(muxer_);
  if (ended < 0) return Fail(Output(), ended);
  return FlushOutput();
}

bool FfmpegCodec::CloseFile() {
  if (customIo_ || !muxer_ || !muxer_->pb) return true;
  const int closed = avio_closep(&muxer_->pb);
  return closed >= 0 || Fail(Output(), closed);
}
