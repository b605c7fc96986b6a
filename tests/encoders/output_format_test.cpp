#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>

#include "encoders/audio_encoder.h"
#include "encoders/lossy_formats.h"
#include "encoders/output_format.h"
#include "encoders/wav_encoder.h"
#include "support/test_support.h"

namespace {

TEST(OutputFormat, EveryMenuIdGivesItsRow) {
  struct Expected {
    FormatId menuId;
    int typeId;
    const char* extension;
    int iconId, listPosition;
    const char* section;
    int isTrack;
  };
  const Expected table[] = {
      {FormatId::Aac, 4, ".aac", 206, 0, "AAC", 1},
      {FormatId::Mp3, 0, ".mp3", 207, 1, "MP3", 1},
      {FormatId::Ogg, 1, ".ogg", 208, 2, "OGG", 1},
      {FormatId::Wav, 2, ".wav", 209, 3, "", 1},
      {FormatId::Wma, 3, ".wma", 210, 4, "WMA", 1},
      {FormatId::Iso, 5, ".iso", 229, 5, "", 0},
      {FormatId::CueBin, 6, ".bin", 230, 6, "", 0},
      {FormatId::Flac, 7, ".flac", 231, 7, "FLAC", 1},
      {FormatId::Opus, 8, ".opus", 232, 8, "OPUS", 1},
      {FormatId::M4a, 9, ".m4a", 233, 9, "M4A", 1},
  };
  TempConfig config;
  for (const Expected& e : table) {
    SCOPED_TRACE(ToStored(e.menuId));
    auto format = CreateOutputFormat(e.menuId);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->TypeId(), e.typeId);
    EXPECT_EQ(format->Extension(), QString::fromLatin1(e.extension));
    EXPECT_LE(format->Extension().size(), 7);
    EXPECT_EQ(format->IconId(), e.iconId);
    EXPECT_EQ(format->ListPosition(), e.listPosition);
    EXPECT_STREQ(format->Descriptor().iniSection, e.section);
    EXPECT_EQ(format->IsTrackFormat(), e.isTrack);
    EXPECT_EQ(FindFormatByName(QString::fromLatin1(e.extension + 1).toUpper()),
              &format->Descriptor());
  }
  EXPECT_EQ(FormatDescriptors().size(), std::size(table));
}

// Each descriptor is found again by its id and by its command-line name, and no two share an
// id, a name, an extension or a badge: the menus, the command line and the settings file
// would mistake one for the other.
TEST(OutputFormat, EveryDescriptorIsFoundByItsIdAndNameAndIsUnique) {
  QStringList keys;
  for (const FormatDescriptor& format : FormatDescriptors()) {
    SCOPED_TRACE(format.shortName);
    EXPECT_EQ(&FindFormat(format.id), &format);
    EXPECT_EQ(FindFormatByName(QString::fromLatin1(format.shortName).toUpper()), &format);
    EXPECT_EQ(FromStored<FormatId>(ToStored(format.id)), format.id);
    keys << QString::number(ToStored(format.id)) << QString("name ") + format.shortName
         << QString("extension ") + format.extension << QString("badge ") + format.badge
         << QString("menu ") + format.menuText;
  }
  EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size())
      << keys.join(", ").toStdString();
}

TEST(OutputFormat, TheMenuListsTheTrackFormatsInListOrderThenTheImages) {
  QStringList menu;
  for (const FormatDescriptor* format : FormatsInMenuOrder()) menu << format->menuText;
  EXPECT_EQ(menu, QStringList({"AAC", "MP3", "OGG", "WAV", "WMA", "FLAC", "Opus", "AAC (M4A)",
                               "CUE/BIN", "ISO"}));
}

TEST(OutputFormat, UnknownStoredNumbersAndNamesNameNoFormat) {
  TempConfig config;
  for (int stored : {0, -1, 11008, 11020, 40150}) {
    EXPECT_EQ(CreateOutputFormat(FromStored<FormatId>(stored))->TypeId(), EncoderType::Mp3)
        << stored;
  }
  // The number earlier builds stored for AAC (M4A) still means it.
  EXPECT_EQ(FromStored<FormatId>(11018), FormatId::M4a);
  EXPECT_EQ(FindFormatByName("ape"), nullptr);
}

// Every format of the list is written by this build: track formats make codecs; the two
// disc images are written by the rip's own writers.
TEST(OutputFormat, EveryFormatIsAvailable) {
  TempConfig config;
  for (const FormatDescriptor& descriptor : FormatDescriptors()) {
    SCOPED_TRACE(ToStored(descriptor.id));
    auto format = CreateOutputFormat(descriptor.id);
    EXPECT_TRUE(format->IsAvailable());
    EXPECT_TRUE(format->UnavailableMessage().isEmpty());
    if (format->IsTrackFormat()) {
      EXPECT_NE(format->CreateEncoder(), nullptr);
    } else {
      EXPECT_EQ(format->CreateEncoder(), nullptr);
    }
  }
}

TEST(OutputFormat, WavIsAFormatOfItsOwnClassThatMakesCodecs) {
  TempConfig config;
  const auto wav = CreateOutputFormat(FormatId::Wav);
  EXPECT_NE(dynamic_cast<WavFormat*>(wav.get()), nullptr);
  EXPECT_NE(dynamic_cast<WavEncoder*>(wav->CreateEncoder().get()), nullptr);
}

template <class Format, class Codec>
void ExpectOwnClassMakingNewCodecs(FormatId menuId) {
  const auto format = CreateOutputFormat(menuId);
  EXPECT_NE(dynamic_cast<Format*>(format.get()), nullptr) << ToStored(menuId);
  EXPECT_TRUE(format->IsAvailable());
  const auto first = format->CreateEncoder();
  const auto second = format->CreateEncoder();
  EXPECT_NE(dynamic_cast<Codec*>(first.get()), nullptr) << ToStored(menuId);
  EXPECT_NE(first.get(), second.get()) << "one codec per run";
}

TEST(OutputFormat, LossyFormatsAreOfTheirOwnClassesAndMakeTheirCodecs) {
  TempConfig config;
  ExpectOwnClassMakingNewCodecs<Mp3Format, Mp3Encoder>(FormatId::Mp3);
  ExpectOwnClassMakingNewCodecs<OggFormat, OggEncoder>(FormatId::Ogg);
  ExpectOwnClassMakingNewCodecs<AacFormat, AacEncoder>(FormatId::Aac);
  ExpectOwnClassMakingNewCodecs<FlacFormat, FlacEncoder>(FormatId::Flac);
  ExpectOwnClassMakingNewCodecs<OpusFormat, OpusFileEncoder>(FormatId::Opus);
  ExpectOwnClassMakingNewCodecs<M4aFormat, M4aEncoder>(FormatId::M4a);
}

// The settings the codecs get are those applied, read from the section at creation.
TEST(OutputFormat, CodecsTakeTheAppliedSettings) {
  TempConfig config;
  WriteFileBytes(config.File("korvane.ini"), "[MP3]\nMinBitRate=128\nMaxBitRate=128\n");
  auto format = CreateOutputFormat(FormatId::Mp3);
  QTemporaryDir dir;
  auto codec = format->CreateEncoder();
  EXPECT_EQ(codec->Open(dir.filePath("a.mp3"), TrackFacts{}, nullptr), 1);
  EXPECT_TRUE(codec->Close());
  auto& mp3 = dynamic_cast<Mp3Format&>(*format);
  mp3.Settings().minBitRate = mp3.Settings().maxBitRate = 100;  // a rate the encoder refuses
  codec = format->CreateEncoder();
  EXPECT_EQ(codec->Open(dir.filePath("a.mp3"), TrackFacts{}, nullptr), 1) << "not applied yet";
  EXPECT_TRUE(codec->Close());
  format->ApplySettings();
  EXPECT_EQ(format->CreateEncoder()->Open(dir.filePath("a.mp3"), TrackFacts{}, nullptr), 0);
}

}  // namespace
