#include "encoders/wma_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QDir>
#include <QFile>
#include <algorithm>

#include "encoders/pcm.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kFrameBytes = 4;  // one stereo frame of 16-bit samples
const char* const kCodecName = "Windows Media Audio 8";  // what wmav2 is
// Bit rates asked of the encoder when the list is probed, in kbit/s.
constexpr int kCandidateRates[] = {32, 40, 48, 64, 80, 96, 128, 160, 192, 256, 320};

QString AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromUtf8(text);
}

AVCodecContext* NewCodecContext(const AVCodec* codec, int bitRate) {
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return nullptr;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = kSampleRate;
  context->time_base = {1, kSampleRate};
  av_channel_layout_default(&context->ch_layout, 2);
  context->bit_rate = bitRate;
  return context;
}

// The coded block size a bit rate gives: two rates with the same one give the same stream.
int BlockAlignOf(const AVCodec* codec, int bitRate) {
  AVCodecContext* context = NewCodecContext(codec, bitRate);
  int blockAlign = 0;
  if (context && avcodec_open2(context, codec, nullptr) >= 0) blockAlign = context->block_align;
  avcodec_free_context(&context);
  return blockAlign;
}

std::vector<WmaAudioFormat> ProbeFormats() {
  std::vector<WmaAudioFormat> formats;
  const AVCodec* codec = avcodec_find_encoder_by_name("wmav2");
  if (!codec) return formats;
  av_log_set_level(AV_LOG_ERROR);  // a refused rate is an answer here, not news for the user
  int lastBlockAlign = 0;
  for (int kbps : kCandidateRates) {
    const int blockAlign = BlockAlignOf(codec, kbps * 1000);
    if (blockAlign <= 0 || blockAlign == lastBlockAlign) continue;
    lastBlockAlign = blockAlign;
    formats.push_back({QString::fromLatin1(kCodecName),
                       QStringLiteral("%1 kbps, 44 kHz, stereo CBR").arg(kbps), kbps * 1000});
  }
  return formats;
}

}  // namespace

bool IsWmaAvailable() {
  return avcodec_find_encoder_by_name("wmav2") && av_guess_format("asf", nullptr, nullptr);
}

const std::vector<WmaAudioFormat>& WmaFormats() {
  static const std::vector<WmaAudioFormat> formats = ProbeFormats();
  return formats;
}

QStringList ListWmaFormats() {
  QStringList descriptions;
  for (const WmaAudioFormat& format : WmaFormats()) descriptions << format.description;
  return descriptions;
}

const WmaAudioFormat* FindWmaFormat(const QString& description) {
  for (const WmaAudioFormat& format : WmaFormats()) {
    qsizetype blanks = 0;
    while (blanks < format.description.size() && format.description[blanks] == ' ') ++blanks;
    if (format.description.mid(blanks) == description) return &format;
  }
  return nullptr;
}

// The encoder, the muxer with its file, the frame and packet of one stream.
struct WmaEncoder::Library {
  AVCodecContext* codec = nullptr;
  AVFormatContext* muxer = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  uint32_t frameBytes = 0;
  int64_t nextPts = 0;

  ~Library() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    if (muxer) avio_closep(&muxer->pb);
    avformat_free_context(muxer);
    avcodec_free_context(&codec);
  }
};

WmaEncoder::WmaEncoder(const WmaSettings& settings) : settings_(settings) {}

WmaEncoder::~WmaEncoder() { Close(); }

bool WmaEncoder::Fail(const QString& what, int code) {
  if (error_.isEmpty()) error_ = QStringLiteral("%1: %2").arg(what, AvError(code));
  return false;
}

bool WmaEncoder::NeedsPreparationPass() const {
  return format_ && format_->passes > 1 && format_->vbr;
}

// The attributes in the order they go into the header, each under its own name.
static void AddAttributes(AVDictionary** metadata, const TagRecord& tags) {
  const struct {
    const char* name;
    TagRecord::Slot slot;
  } attributes[] = {{"Description", TagRecord::Comment}, {"WM/AlbumTitle", TagRecord::Album},
                    {"Author", TagRecord::Artist},       {"WM/Genre", TagRecord::Genre},
                    {"WM/Year", TagRecord::Year},        {"Title", TagRecord::Title},
                    {"WM/Track", TagRecord::TrackNumber}};
  for (const auto& attribute : attributes) {
    av_dict_set(metadata, attribute.name, tags.Wide(attribute.slot).toUtf8().constData(), 0);
  }
}

bool WmaEncoder::StartLibrary(const QString& path, const WmaAudioFormat& format) {
  lib_ = std::make_unique<Library>();
  Library& l = *lib_;
  const AVCodec* wma = avcodec_find_encoder_by_name("wmav2");
  if (!wma) return Fail(QStringLiteral("No WMA encoder"), AVERROR_ENCODER_NOT_FOUND);
  l.codec = NewCodecContext(wma, format.bitRate);
  l.frame = av_frame_alloc();
  l.packet = av_packet_alloc();
  if (!l.codec || !l.frame || !l.packet) return Fail(QStringLiteral("WMA encoder"), AVERROR(ENOMEM));
  int code = avcodec_open2(l.codec, wma, nullptr);
  if (code < 0) return Fail(QStringLiteral("The WMA encoder refused its format"), code);
  l.frameBytes = uint32_t(l.codec->frame_size) * kFrameBytes;

  code = avformat_alloc_output_context2(&l.muxer, nullptr, "asf", nullptr);
  if (code < 0) return Fail(QStringLiteral("No ASF writer"), code);
  AVStream* stream = avformat_new_stream(l.muxer, nullptr);
  if (!stream) return Fail(QStringLiteral("WMA output"), AVERROR(ENOMEM));
  stream->time_base = l.codec->time_base;
  code = avcodec_parameters_from_context(stream->codecpar, l.codec);
  if (code < 0) return Fail(QStringLiteral("WMA output"), code);
  code = avio_open(&l.muxer->pb, QFile::encodeName(path).constData(), AVIO_FLAG_WRITE);
  if (code < 0) return Fail(QDir::toNativeSeparators(path), code);

  l.frame->format = AV_SAMPLE_FMT_FLTP;
  l.frame->sample_rate = kSampleRate;
  l.frame->nb_samples = l.codec->frame_size;
  av_channel_layout_copy(&l.frame->ch_layout, &l.codec->ch_layout);
  code = av_frame_get_buffer(l.frame, 0);
  if (code < 0) return Fail(QStringLiteral("WMA encoder"), code);
  return true;
}

int WmaEncoder::Open(const QString& path, const TrackFacts&, const TagRecord* tags) {
  lib_.reset();
  format_.reset();
  pending_.clear();
  writeFailed_ = false;
  error_.clear();
  samplesWritten_ = 0;
  sampleTimeMs_ = 0;
  const WmaAudioFormat* format = FindWmaFormat(settings_.formatString);
  if (!format) {
    error_ = QStringLiteral("no WMA format is described as \"%1\"").arg(settings_.formatString);
    return 0;
  }
  format_ = *format;
  if (!StartLibrary(path, *format)) {
    lib_.reset();
    return 0;
  }
  if (tags) AddAttributes(&lib_->muxer->metadata, *tags);
  const int code = avformat_write_header(lib_->muxer, nullptr);
  if (code < 0) {
    Fail(QStringLiteral("WMA output"), code);
    lib_.reset();
    return 0;
  }
  return 1;
}

// Takes every packet the encoder has ready to the muxer.
bool WmaEncoder::WritePackets() {
  Library& l = *lib_;
  AVStream* stream = l.muxer->streams[0];
  for (;;) {
    const int code = avcodec_receive_packet(l.codec, l.packet);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
    if (code < 0) return Fail(QStringLiteral("The WMA encoder failed"), code);
    av_packet_rescale_ts(l.packet, l.codec->time_base, stream->time_base);
    l.packet->stream_index = 0;
    const int written = av_write_frame(l.muxer, l.packet);
    av_packet_unref(l.packet);
    if (written < 0) return Fail(QStringLiteral("WMA output"), written);
  }
}

// One frame of interleaved PCM, whole or the shorter last one, to the encoder.
bool WmaEncoder::EncodeFrame(const char* pcm, uint32_t byteCount) {
  Library& l = *lib_;
  const int code = av_frame_make_writable(l.frame);
  if (code < 0) return Fail(QStringLiteral("WMA encoder"), code);
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
  if (sent < 0) return Fail(QStringLiteral("The WMA encoder failed"), sent);
  return WritePackets();
}

// One sample (a tenth of a second or less) at the running sample time: the encoder takes
// whole frames of its own size, so what is short of one waits for the next sample.
bool WmaEncoder::WriteSample(const char* data, uint32_t byteCount) {
  Library& l = *lib_;
  pending_.insert(pending_.end(), data, data + byteCount);
  size_t used = 0;
  bool ok = true;
  while (ok && pending_.size() - used >= l.frameBytes) {
    ok = EncodeFrame(pending_.data() + used, l.frameBytes);
    used += l.frameBytes;
  }
  pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(used));
  ++samplesWritten_;
  sampleTimeMs_ += (int64_t(byteCount) * 1000 + kBytesPerSecond / 2) / kBytesPerSecond;
  return ok;
}

int WmaEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  // This encoder has no two-pass formats, so a preparation pass has nothing to feed.
  if (prepass || !lib_ || writeFailed_) return 0;
  if (byteCount == 0) return 1;
  bool ok = true;
  for (uint32_t done = 0; ok && done < byteCount; done += kSampleBytes) {
    ok = WriteSample(data + done, std::min(kSampleBytes, byteCount - done));
  }
  // The muxer's buffer goes to the file now, so a failed write shows in this Write.
  if (ok) {
    avio_flush(lib_->muxer->pb);
    ok = lib_->muxer->pb->error >= 0 || Fail(QStringLiteral("WMA output"), lib_->muxer->pb->error);
  }
  if (!ok) writeFailed_ = true;
  return ok ? 1 : 0;
}

// Encodes the PCM still waiting (less than a frame), drains the encoder of its delayed
// frames and ends the file.
bool WmaEncoder::Finish() {
  Library& l = *lib_;
  uint32_t lastBytes = uint32_t(pending_.size()) / kFrameBytes * kFrameBytes;
  if (lastBytes > 0 && !(l.codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
    pending_.resize(l.frameBytes, 0);  // a whole frame, completed with silence
    lastBytes = l.frameBytes;
  }
  if (lastBytes > 0 && !EncodeFrame(pending_.data(), lastBytes)) return false;
  pending_.clear();
  const int code = avcodec_send_frame(l.codec, nullptr);
  if (code < 0) return Fail(QStringLiteral("The WMA encoder failed"), code);
  if (!WritePackets()) return false;
  const int ended = av_write_trailer(l.muxer);
  if (ended < 0) return Fail(QStringLiteral("WMA output"), ended);
  avio_flush(l.muxer->pb);
  return l.muxer->pb->error >= 0 || Fail(QStringLiteral("WMA output"), l.muxer->pb->error);
}

int WmaEncoder::Close() {
  if (!lib_) return 1;
  bool ok = !writeFailed_ && Finish();
  const int closed = avio_closep(&lib_->muxer->pb);
  if (closed < 0) ok = Fail(QStringLiteral("WMA output"), closed);
  lib_.reset();
  return ok ? 1 : 0;
}
