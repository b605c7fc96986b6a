#include "encoders/ogg_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <random>

#include "encoders/pcm.h"
#include "encoders/tag_record.h"
#include "encoders/vorbis_comments.h"

namespace {

constexpr int kChannels = 2;
constexpr long kSampleRate = 44100;

long BitsPerSecond(int kbitPerSecond) { return kbitPerSecond == -1 ? -1 : kbitPerSecond * 1000L; }

bool WritePage(CodecFile& file, const ogg_page& page) {
  return file.Write(page.header, page.header_len) && file.Write(page.body, page.body_len);
}

uint32_t RandomSerial() {
  std::random_device source;
  return uint32_t(source());
}

// The disc number, the MusicBrainz ids under the names players look for, and the front cover.
void AddReleaseComments(vorbis_comment& comment, const TagRecord& tags) {
  for (const auto& [name, value] : ReleaseComments(tags))
    vorbis_comment_add_tag(&comment, name, value.constData());
  const QByteArray picture = PictureCommentValue(tags);
  if (!picture.isEmpty())
    vorbis_comment_add_tag(&comment, "METADATA_BLOCK_PICTURE", picture.constData());
}

}  // namespace

// The library objects of one stream, each cleared by the destructor once initialised.
struct OggEncoder::Stream {
  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state ogg{};
  bool dspReady = false;
  bool oggReady = false;
  bool ended = false;  // the end-of-stream page is out

  Stream() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Stream() {
    if (oggReady) ogg_stream_clear(&ogg);
    if (dspReady) {
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
};

OggEncoder::OggEncoder(const OggSettings& settings) : settings_(settings) {}

OggEncoder::~OggEncoder() { Close(); }

bool OggEncoder::StartLibrary(const TagRecord* tags) {
  stream_ = std::make_unique<Stream>();
  Stream& s = *stream_;
  const int refused =
      settings_.vbr ? vorbis_encode_init_vbr(&s.info, kChannels, kSampleRate,
                                             std::clamp(settings_.Quality(), 0.0f, 1.0f))
                    : vorbis_encode_init(
                          &s.info, kChannels, kSampleRate, BitsPerSecond(settings_.maxBitRate),
                          BitsPerSecond(settings_.nomBitRate), BitsPerSecond(settings_.minBitRate));
  if (refused) {
    libraryError_ =
        settings_.vbr
            ? QStringLiteral("The Ogg Vorbis encoder cannot use quality %1")
                  .arg(double(settings_.Quality()))
            : QStringLiteral("The Ogg Vorbis encoder cannot use bit rates %1/%2/%3 kbit/s")
                  .arg(settings_.minBitRate)
                  .arg(settings_.nomBitRate)
                  .arg(settings_.maxBitRate);
    return false;
  }
  if (tags) {
    static constexpr std::pair<const char*, TagRecord::Slot> kComments[] = {
        {"TRACKNUMBER", TagRecord::TrackNumber},
        {"title", TagRecord::Title},
        {"album", TagRecord::Album},
        {"artist", TagRecord::Artist},
        {"date", TagRecord::Year},
        {"genre", TagRecord::Genre},
        {"comment", TagRecord::Comment},
        {"ALBUMARTIST", TagRecord::AlbumArtist}};
    for (const auto& [name, slot] : kComments) {
      if (tags->Wide(slot).isEmpty()) continue;  // not known
      vorbis_comment_add_tag(&s.comment, name, tags->Wide(slot).toUtf8().constData());
    }
    AddReleaseComments(s.comment, *tags);
  }
  if (vorbis_analysis_init(&s.dsp, &s.info) != 0) return false;
  vorbis_block_init(&s.dsp, &s.block);
  s.dspReady = true;
  s.oggReady = ogg_stream_init(&s.ogg, int(RandomSerial())) == 0;
  return s.oggReady;
}

// The three header packets, flushed so that the audio starts on a page of its own.
bool OggEncoder::WriteHeaders() {
  Stream& s = *stream_;
  ogg_packet identification, comments, codebooks;
  if (vorbis_analysis_headerout(&s.dsp, &s.comment, &identification, &comments, &codebooks) != 0) {
    return false;
  }
  ogg_stream_packetin(&s.ogg, &identification);
  ogg_stream_packetin(&s.ogg, &comments);
  ogg_stream_packetin(&s.ogg, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&s.ogg, &page)) {
    if (!WritePage(file_, page)) return false;
  }
  return true;
}

int OggEncoder::Open(const QString& path, const TrackFacts&, const TagRecord* tags) {
  Release();
  writeFailed_ = false;
  libraryError_.clear();
  if (!StartLibrary(tags)) {
    Release();
    return 0;
  }
  if (!file_.Create(path)) {
    Release();
    return 0;
  }
  if (!WriteHeaders()) {
    Release();  // discards the unfinished file
    return 0;
  }
  return 1;
}

// Hands every finished block to the analysis and the bit-rate manager, and writes each page
// the stream completes, up to the end-of-stream page.
bool OggEncoder::Drain() {
  Stream& s = *stream_;
  ogg_packet packet;
  ogg_page page;
  while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
    vorbis_analysis(&s.block, nullptr);
    vorbis_bitrate_addblock(&s.block);
    while (vorbis_bitrate_flushpacket(&s.dsp, &packet)) {
      ogg_stream_packetin(&s.ogg, &packet);
      while (!s.ended && ogg_stream_pageout(&s.ogg, &page)) {
        if (!WritePage(file_, page)) return false;
        s.ended = ogg_page_eos(&page) != 0;
      }
    }
  }
  return true;
}

bool OggEncoder::EncodePiece(const char* data, uint32_t byteCount) {
  const int frames = int(byteCount / 4);
  float** channels = vorbis_analysis_buffer(&stream_->dsp, frames);
  for (int i = 0; i < frames; ++i) {
    channels[0][i] = PcmFloat(data, 2 * size_t(i));
    channels[1][i] = PcmFloat(data, 2 * size_t(i) + 1);
  }
  vorbis_analysis_wrote(&stream_->dsp, frames);
  return Drain();
}

int OggEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  if (prepass || !stream_ || !file_.IsOpen() || writeFailed_) return 0;
  for (uint32_t at = 0; at < byteCount; at += kPieceBytes) {
    if (!EncodePiece(data + at, std::min(kPieceBytes, byteCount - at))) {
      writeFailed_ = true;
      return 0;
    }
  }
  return 1;
}

int OggEncoder::Close() {
  if (!stream_ || !file_.IsOpen()) {
    Release();
    return 1;
  }
  bool ok = !writeFailed_;
  if (ok) {
    vorbis_analysis_wrote(&stream_->dsp, 0);  // the end of the input: flush the last pages
    ok = Drain();
  }
  ok = file_.Close() && ok;
  Release();
  return ok ? 1 : 0;
}

void OggEncoder::Release() {
  stream_.reset();
  file_.Discard();
}

QString OggEncoder::ErrorText() const {
  return libraryError_.isEmpty() ? file_.ErrorText() : libraryError_;
}
