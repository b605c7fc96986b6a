#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;

// One libavcodec audio encoder (44.1 kHz stereo, planar float) feeding the single stream of a
// libavformat muxer. It takes interleaved 16-bit CD audio in any amounts, hands the encoder
// whole frames of its own size, and at Finish encodes the short rest and drains the encoder,
// so the stream ends where the audio ends. The first failure is kept as "what: reason" with
// the codec's name in `what` ("The AAC encoder failed: ...", "AAC output: ...").
class FfmpegCodec {
 public:
  // Writes size bytes of the muxer's output; returns false when they could not be written.
  using OutputWriter = std::function<bool(const uint8_t* data, int size)>;

  explicit FfmpegCodec(const QString& codecName);
  ~FfmpegCodec();
  FfmpegCodec(const FfmpegCodec&) = delete;
  FfmpegCodec& operator=(const FfmpegCodec&) = delete;

  // Opens the encoder `encoder` at bitRate bit/s; tune sets what else it needs before it opens.
  bool OpenEncoder(const char* encoder, int64_t bitRate,
                   const std::function<void(AVCodecContext*)>& tune = {});
  // Makes the muxer `format` with one stream of the encoder, writing to the file at path or,
  // with a writer, through it. Needs OpenEncoder first.
  bool OpenMuxer(const char* format, const QString& path);
  bool OpenMuxer(const char* format, OutputWriter writer);
  // The muxer, for its metadata, between OpenMuxer and WriteHeader.
  AVFormatContext* Muxer() const { return muxer_; }
  bool WriteHeader(AVDictionary** options = nullptr);

  // Takes PCM; every whole frame of it is encoded now, the rest waits for more.
  bool Feed(const char* pcm, uint32_t byteCount);
  // Sends the muxer's buffered output on, so a failed write shows now.
  bool FlushOutput();
  // Encodes what waits (completed with silence when the encoder takes whole frames only),
  // drains the encoder, ends the stream and flushes the output.
  bool Finish();
  // Closes the file opened by OpenMuxer(format, path); true when there is none.
  bool CloseFile();

  // The opened encoder's context, for what it chose (block_align, ...); null before OpenEncoder.
  const AVCodecContext* Context() const { return codec_; }
  // Bytes of PCM in one of the encoder's frames; 0 before OpenEncoder.
  uint32_t FrameBytes() const { return frameBytes_; }
  uint32_t PendingBytes() const { return uint32_t(pending_.size()); }
  int64_t FramesEncoded() const { return framesEncoded_; }
  const QString& Error() const { return error_; }

 private:
  bool AttachStream(const char* format, const char* url);
  bool EncodeFrame(const char* pcm, uint32_t byteCount);
  bool WritePackets();
  bool Fail(const QString& what, int code);
  QString Output() const { return codecName_ + QStringLiteral(" output"); }
  QString Encoder() const { return codecName_ + QStringLiteral(" encoder"); }

  QString codecName_;
  AVCodecContext* codec_ = nullptr;
  AVFormatContext* muxer_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVIOContext* customIo_ = nullptr;  // with an OutputWriter
  OutputWriter writer_;
  uint32_t frameBytes_ = 0;
  int64_t nextPts_ = 0;
  std::vector<char> pending_;
  int64_t framesEncoded_ = 0;
  QString error_;
};
