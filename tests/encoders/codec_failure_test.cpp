#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "encoders/flac_encoder.h"
#include "encoders/lossy_audio.h"
#include "encoders/m4a_encoder.h"
#include "encoders/opus_encoder.h"

namespace {

// A file that cannot be made, and a disk that fills, fail the track with the system's reason,
// and a failed Open leaves Write failing and Close harmless.
TEST(CodecFailures, FlacOpusAndM4aNameTheReason) {
  const struct {
    const char* name;
    std::function<std::unique_ptr<AudioEncoder>()> make;
  } cases[] = {
      {"flac", [] { return std::make_unique<FlacEncoder>(FlacSettings{}); }},
      {"opus", [] { return std::make_unique<OpusFileEncoder>(OpusSettings{}); }},
      {"m4a", [] { return std::make_unique<M4aEncoder>(M4aSettings{}); }},
  };
  QTemporaryDir dir;
  const QByteArray audio = SweepAudio(3 * 44100);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString missing = dir.filePath(QStringLiteral("missing/x.") + c.name);
    auto codec = c.make();
    TrackFacts facts;
    facts.sectorCount = 10;
    EXPECT_EQ(codec->Open(missing, facts, nullptr), 0);
    EXPECT_FALSE(codec->ErrorText().isEmpty());
    EXPECT_EQ(codec->Write(audio.constData(), 2352, 0), 0);
    EXPECT_EQ(codec->Close(), 1);
    EXPECT_FALSE(QFileInfo::exists(missing));

    if (!QFileInfo::exists("/dev/full")) continue;
    auto full = c.make();
    EXPECT_FALSE(EncodeAsRip(*full, "/dev/full", audio));
    EXPECT_FALSE(full->ErrorText().isEmpty());
    EXPECT_TRUE(QFileInfo("/dev/full").exists());  // a device is never removed
  }
}

}  // namespace
