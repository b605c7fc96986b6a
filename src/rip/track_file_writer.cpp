#include "rip/track_file_writer.h"

#include <QDir>

TrackFileWriter::TrackFileWriter(const QString& path, std::unique_ptr<AudioEncoder> codec,
                                 std::optional<TagRecord> tags)
    : path_(path), codec_(std::move(codec)), tags_(std::move(tags)), file_(path) {}

bool TrackFileWriter::Begin(const TrackFacts& track) {
  if (!file_.Create()) return Fail(file_.ErrorText());
  if (!codec_->Open(file_.Path(), track, tags_ ? &*tags_ : nullptr)) return FailWithCodecReason();
  return true;
}

bool TrackFileWriter::Consume(std::span<const uint8_t> pcm, bool prepass) {
  if (codec_->Write(reinterpret_cast<const char*>(pcm.data()), uint32_t(pcm.size()), prepass))
    return true;
  return FailWithCodecReason();
}

// Close also runs after a failed Begin, where it touches nothing.
bool TrackFileWriter::Finish(bool complete) {
  if (!codec_->Close() && errorText_.isEmpty()) FailWithCodecReason();
  if (!complete || !errorText_.isEmpty()) return errorText_.isEmpty();
  return file_.Commit() || Fail(file_.ErrorText());
}

bool TrackFileWriter::Fail(const QString& why) {
  if (errorText_.isEmpty()) errorText_ = why;
  return false;
}

bool TrackFileWriter::FailWithCodecReason() {
  const QString why = codec_->ErrorText();
  return Fail(QDir::toNativeSeparators(path_) + ": " +
              (why.isEmpty() ? QStringLiteral("the file could not be written") : why));
}
