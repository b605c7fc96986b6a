#include "encoders/wma_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>

#include <QFile>
#include <algorithm>

namespace {

const char* const kCodecName = "Windows Media Audio 8";  // what wmav2 is
// Bit rates asked of the encoder when the list is probed, in kbit/s.
constexpr int kCandidateRates[] = {32, 40, 48, 64, 80, 96, 128, 160, 192, 256, 320};

// The coded block size a bit rate gives: two rates with the same one give the same stream.
// 0 when the encoder refuses the rate.
int BlockAlignOf(int bitRate) {
  FfmpegCodec codec(QStringLiteral("WMA"));
  return codec.OpenEncoder("wmav2", bitRate) ? codec.Context()->block_align : 0;
}

std::vector<WmaAudioFormat> ProbeFormats() {
  std::vector<WmaAudioFormat> formats;
  if (!avcodec_find_encoder_by_name("wmav2")) return formats;
  int lastBlockAlign = 0;
  for (int kbps : kCandidateRates) {
    const int blockAlign = BlockAlignOf(kbps * 1000);
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

WmaEncoder::WmaEncoder(const WmaSettings& settings) : settings_(settings) {}

WmaEncoder::~WmaEncoder() { Close(); }

void WmaEncoder::KeepCodecError() {
  if (error_.isEmpty() && codec_) error_ = codec_->Error();
}

bool WmaEncoder::NeedsPreparationPass() const {
  return format_ && format_->passes > 1 && format_->vbr;
}

// The attributes in the order they go into the header, each under its own name.
static void AddAttributes(AVDictionary** metadata, const TagRecord& tags) {
  const struct {
    const char* name;
    TagRecord::Slot slot;
  } attributes[] = {
      {"Description", TagRecord::Comment},  {"WM/AlbumTitle", TagRecord::Album},
      {"Author", TagRecord::Artist},        {"WM/Genre", TagRecord::Genre},
      {"WM/Year", TagRecord::Year},         {"Title", TagRecord::Title},
      {"WM/Track", TagRecord::TrackNumber}, {"WM/AlbumArtist", TagRecord::AlbumArtist}};
  for (const auto& attribute : attributes) {
    const QString& text = tags.Wide(attribute.slot);
    if (text.isEmpty()) continue;  // not known
    av_dict_set(metadata, attribute.name, text.toUtf8().constData(), 0);
  }
  if (tags.discNumber > 0) {
    const QString set = QStringLiteral("%1/%2").arg(tags.discNumber).arg(tags.discTotal);
    av_dict_set(metadata, "WM/PartOfSet", set.toUtf8().constData(), 0);
  }
  for (const MusicBrainzTag& id : MusicBrainzTags(tags))
    av_dict_set(metadata, id.wma, id.value.toUtf8().constData(), 0);
}

int WmaEncoder::Open(const QString& path, const TrackFacts&, const TagRecord* tags) {
  codec_.reset();
  format_.reset();
  writeFailed_ = false;
  error_.clear();
  samplesWritten_ = 0;
  sampleTimeMs_ = 0;
  path_ = path;
  cover_ = tags ? tags->cover : CoverImage();
  const WmaAudioFormat* format = FindWmaFormat(settings_.formatString);
  if (!format) {
    error_ = QStringLiteral("no WMA format is described as \"%1\"").arg(settings_.formatString);
    return 0;
  }
  format_ = *format;
  codec_ = std::make_unique<FfmpegCodec>(QStringLiteral("WMA"));
  bool ok = codec_->OpenEncoder("wmav2", format->bitRate) && codec_->OpenMuxer("asf", path);
  if (ok && tags) AddAttributes(&codec_->Muxer()->metadata, *tags);
  ok = ok && codec_->WriteHeader();
  if (!ok) {
    KeepCodecError();
    codec_.reset();
  }
  return ok ? 1 : 0;
}

// One sample (a tenth of a second or less) at the running sample time: the encoder takes
// whole frames of its own size, so what is short of one waits for the next sample.
bool WmaEncoder::WriteSample(const char* data, uint32_t byteCount) {
  const bool ok = codec_->Feed(data, byteCount);
  ++samplesWritten_;
  sampleTimeMs_ += (int64_t(byteCount) * 1000 + kBytesPerSecond / 2) / kBytesPerSecond;
  return ok;
}

int WmaEncoder::Write(const char* data, uint32_t byteCount, int prepass) {
  // This encoder has no two-pass formats, so a preparation pass has nothing to feed.
  if (prepass || !codec_ || writeFailed_) return 0;
  if (byteCount == 0) return 1;
  bool ok = true;
  for (uint32_t done = 0; ok && done < byteCount; done += kSampleBytes) {
    ok = WriteSample(data + done, std::min(kSampleBytes, byteCount - done));
  }
  // The muxer's buffer goes to the file now, so a failed write shows in this Write.
  ok = ok && codec_->FlushOutput();
  if (!ok) {
    writeFailed_ = true;
    KeepCodecError();
  }
  return ok ? 1 : 0;
}

int WmaEncoder::Close() {
  if (!codec_) return 1;
  bool ok = !writeFailed_ && codec_->Finish();
  ok = codec_->CloseFile() && ok;
  if (!ok) KeepCodecError();
  codec_.reset();
  ok = ok && AddCover();
  return ok ? 1 : 0;
}

// libavformat's ASF muxer has no place for a picture, so TagLib adds it to the closed file.
bool WmaEncoder::AddCover() {
  if (cover_.IsEmpty()) return true;
  TagLib::ASF::File file(QFile::encodeName(path_).constData(), false);
  TagLib::ASF::Tag* tag = file.isValid() ? file.tag() : nullptr;
  if (tag) {
    TagLib::ASF::Picture picture;
    picture.setType(TagLib::ASF::Picture::FrontCover);
    picture.setMimeType(TagLib::String(cover_.MimeType().toStdString(), TagLib::String::UTF8));
    picture.setPicture(TagLib::ByteVector(cover_.bytes.constData(), uint(cover_.bytes.size())));
    tag->addAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
  }
  if (tag && file.save()) return true;
  error_ = QStringLiteral("the cover could not be added to %1").arg(path_);
  return false;
}
