#pragma once
#include <QString>
#include <memory>
#include <optional>

#include "encoders/audio_encoder.h"
#include "encoders/part_file.h"
#include "encoders/tag_record.h"
#include "rip/pcm_consumer.h"

// A track's output file as a consumer of its PCM: the codec writes a temporary file beside
// the final one, and only a track that was written whole, closed and not cancelled gets the
// final name. Anything else leaves the final name as it was (an earlier rip's file stays)
// and the temporary file goes.
class TrackFileWriter : public PcmConsumer {
 public:
  // tags empty writes no tags.
  TrackFileWriter(const QString& path, std::unique_ptr<AudioEncoder> codec,
                  std::optional<TagRecord> tags);

  bool Begin(const TrackFacts& track) override;
  bool NeedsPreparationPass() const override { return codec_->NeedsPreparationPass(); }
  bool Consume(std::span<const uint8_t> pcm, bool prepass) override;
  bool Finish(bool complete) override;
  QString ErrorText() const override { return errorText_; }
  // The file's name: after the commit, another when a file took the name meanwhile.
  const QString& FinalPath() const { return file_.FinalPath(); }

 private:
  bool Fail(const QString& why);
  bool FailWithCodecReason();

  QString path_;
  std::unique_ptr<AudioEncoder> codec_;
  std::optional<TagRecord> tags_;
  PartFile file_;
  QString errorText_;
};
