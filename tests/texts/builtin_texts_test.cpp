#include <gtest/gtest.h>

#include <QSet>
#include <cstring>

#include "texts/builtin_texts.h"

namespace {

TEST(BuiltInTexts, SectionCommentsGroupRowsOfDistinctIdentifiers) {
  const auto rows = BuiltInTexts();
  ASSERT_FALSE(rows.empty());
  EXPECT_TRUE(rows.front().IsComment()) << "the table opens with its first section";
  QSet<unsigned> ids;
  int comments = 0;
  for (const BuiltInText& row : rows) {
    ASSERT_NE(row.text, nullptr);
    EXPECT_GT(std::strlen(row.text), 0u) << row.id;
    if (row.IsComment()) {
      ++comments;
      EXPECT_EQ(row.text[0], ';') << row.text;
      continue;
    }
    EXPECT_NE(row.text[0], ';') << row.id;
    EXPECT_FALSE(ids.contains(row.id)) << "identifier twice: " << row.id;
    ids.insert(row.id);
  }
  EXPECT_EQ(comments, 11);
  // With the e-mail field and its reason on the FreeDB tab, SOCKS 4A, four more credits of
  // the about box, four messages of the window, the album artist of Edit Disc Info, the
  // choice among several freedb matches, the read offset row, the FLAC, Opus and M4A
  // formats with their pages and credits, the MusicBrainz lookup, its release list and the
  // album header, the progress dialog's unreadable sectors with the end message naming them,
  // and its AccurateRip verdicts with the summary of a verified rip's end.
  EXPECT_EQ(ids.size(), 238);
}

TEST(BuiltInTexts, FindsTheFirstTextRowAndNeverAComment) {
  EXPECT_STREQ(BuiltInTexts().front().text, "; generic strigns");
  EXPECT_STREQ(FindBuiltInText(900), "OK");
  EXPECT_STREQ(FindBuiltInText(92201), "New Version Check");
  EXPECT_STREQ(FindBuiltInText(9401), "Program crashed!");  // the last row
  EXPECT_EQ(FindBuiltInText(0), nullptr);
  EXPECT_EQ(FindBuiltInText(911), nullptr);
  EXPECT_EQ(FindBuiltInText(16001), nullptr);
}

}  // namespace
