// Which output formats each kind of disc allows, and in which order.
#include <gtest/gtest.h>

#include "app/disc_formats.h"

namespace {

TEST(DiscFormats, EachKindOfDiscAllowsItsFormatsInOrder) {
  using F = FormatId;
  using K = DiscKind;
  const QList<F> audio = {F::Mp3,  F::Aac,  F::Ogg, F::Wav,   F::Wma,
                          F::Flac, F::Opus, F::M4a, F::CueBin};
  const struct {
    K kind;
    QList<F> formats;
  } cases[] = {{K::Dvd, {F::Iso}},
               {K::DvdMultisession, {F::Iso}},
               {K::DataCd, {F::Iso, F::CueBin}},
               {K::DataCdMultisession, {F::CueBin}},
               {K::AudioCd, audio},
               {K::MixedModeCd, audio}};
  for (const auto& c : cases) {
    EXPECT_EQ(AllowedFormats(DiscType{c.kind, {}, {}}), c.formats) << int(c.kind);
  }
  // No disc to go by: nothing is refused, the default format still first.
  EXPECT_EQ(AllowedFormats(std::nullopt), audio + QList<F>{F::Iso});
}

}  // namespace
