#include <gtest/gtest.h>

#include <QString>

#include "settings/ini_document.h"

namespace {

std::optional<QByteArray> Get(const QByteArray& file, const char* section, const char* key) {
  return IniDocument::Parse(file).Value(QString(section), QString(key));
}

TEST(IniDocument, ReadsValuesTheWayHandEditedFilesExpect) {
  const QByteArray file =
      "; Korvane settings\n"
      "stray=before any section\n"
      "[ General ]\n"
      "  FormatSelected =  11012  \n"
      "Language=\"  quoted keeps inner blanks \"\n"
      "Device='[sr0] DRIVE'\n"
      "Mismatch=\"half quoted\n"
      "just a line without equals\n"
      ";Commented=1\n"
      "Empty=\n"
      "Dup=first\n"
      "dup=second\n"
      "[general]\n"
      "Later=shadowed by the first section\n"
      "[MP3]\r\n"
      "IsVBR=1\r\n";
  struct Case {
    const char* section;
    const char* key;
    std::optional<QByteArray> value;
  } cases[] = {
      {"general", "formatselected", "11012"},
      {"GENERAL", "Language", "  quoted keeps inner blanks "},
      {"General", "Device", "[sr0] DRIVE"},
      {"General", "Mismatch", "\"half quoted"},
      {"General", "Commented", std::nullopt},
      {"General", "just a line without equals", std::nullopt},
      {"General", "Empty", ""},
      {"General", "DUP", "first"},
      {"General", "Later", std::nullopt},
      {"", "stray", std::nullopt},
      {"mp3", "isVBR", "1"},
      {"Missing", "IsVBR", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Get(file, c.section, c.key), c.value) << c.section << "/" << c.key;
}

// Reading trims blanks and drops one pair of matching quotes, so a value that would lose
// either is written in quotes of its own; every other value is written as it is.
TEST(IniDocument, WrittenValuesReadBackAsWritten) {
  const struct {
    QByteArray value;
    QByteArray line;
  } cases[] = {
      {"plain", "K=plain"},
      {"", "K="},
      {"inner \"quotes\" stay", "K=inner \"quotes\" stay"},
      {"\"half", "K=\"half"},
      {"'mixed\"", "K='mixed\""},
      {"\"Heroes\"", "K=\"\"Heroes\"\""},
      {"'single'", "K=\"'single'\""},
      {"\"\"", "K=\"\"\"\""},
      {" leading", "K=\" leading\""},
      {"trailing\t", "K=\"trailing\t\""},
      {" ", "K=\" \""},
  };
  for (const auto& c : cases) {
    IniDocument doc = IniDocument::Parse("[S]\nK=old\n");
    doc.Set("S", "K", c.value);
    EXPECT_EQ(doc.Serialize(), "[S]\n" + c.line + "\n") << c.value.constData();
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Value(u"S", u"K"), c.value)
        << c.value.constData();
  }
}

TEST(IniDocument, WritingChangesOnlyWhatItMust) {
  const QByteArray original =
      "; comment stays\n"
      "[General]\n"
      "Left = 10\n"
      "\n"
      "; a comment about the next section\n"
      "[Options]\n"
      "odd line\n";
  IniDocument doc = IniDocument::Parse(original);
  doc.Set("general", "LEFT", "20");         // in place
  doc.Set("General", "Top", "30");          // after the section's last key
  doc.Set("Options", "SubDirArtist", "0");  // section without keys
  doc.Set("MP3", "IsVBR", "1");             // new section at the end
  EXPECT_EQ(doc.Serialize(),
            "; comment stays\n"
            "[General]\n"
            "LEFT=20\n"
            "Top=30\n"
            "\n"
            "; a comment about the next section\n"
            "[Options]\n"
            "SubDirArtist=0\n"
            "odd line\n"
            "[MP3]\n"
            "IsVBR=1\n");
}

TEST(IniDocument, KeepsWindowsLineEndingsAndAMissingFinalLineEnd) {
  IniDocument crlf = IniDocument::Parse("[A]\r\nx=1\r\n");
  crlf.Set("B", "y", "2");
  EXPECT_EQ(crlf.Serialize(), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");

  EXPECT_EQ(IniDocument::Parse("[A]\nx=1").Serialize(), "[A]\nx=1");
  IniDocument open = IniDocument::Parse("[A]\nx=1");
  open.Set("A", "x", "2");
  EXPECT_EQ(open.Serialize(), "[A]\nx=2");
}

TEST(IniDocument, AByteOrderMarkIsKeptButNotPartOfTheFirstSection) {
  IniDocument doc = IniDocument::Parse("\xEF\xBB\xBF[Translation]\nLanguageName=Deutsch\n");
  EXPECT_EQ(doc.Value(u"Translation", u"LanguageName"), "Deutsch");
  doc.Set("Translation", "900", "OK");
  EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF[Translation]\nLanguageName=Deutsch\n900=OK\n");
}

TEST(IniDocument, GarbageGivesNoValuesAndNoCrash) {
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) garbage.append(char((i * 7919) % 256));
  garbage += QByteArray("\n[\n]\n=\n==\n[]=x\n\0\0\n", 19);
  IniDocument doc = IniDocument::Parse(garbage);
  EXPECT_FALSE(doc.Value(u"General", u"FormatSelected").has_value());
  doc.Set("General", "FormatSelected", "11012");
  EXPECT_EQ(IniDocument::Parse(doc.Serialize()).Value(u"General", u"FormatSelected"), "11012");
}

TEST(IniDocument, SeveralKeysAtOnceLandWhereSingleWritesWould) {
  const QByteArray original =
      "[Disc]\n"
      "Track_1=One\n"
      "; note\n"
      "[Other]\n"
      "X=1\n";
  IniDocument batch = IniDocument::Parse(original);
  batch.SetAll(
      "disc", {{"TRACK_1", "Uno"}, {"Track_2", "Two"}, {"Track_3", "first"}, {"track_3", "Three"}});
  batch.SetAll("New", {{"A", "1"}, {"B", "2"}});
  EXPECT_EQ(
      batch.Serialize(),
      "[Disc]\nTRACK_1=Uno\nTrack_2=Two\ntrack_3=Three\n; note\n[Other]\nX=1\n[New]\nA=1\nB=2\n");

  IniDocument single = IniDocument::Parse(original);
  single.Set("disc", "TRACK_1", "Uno");
  single.Set("disc", "Track_2", "Two");
  single.Set("disc", "Track_3", "first");
  single.Set("disc", "track_3", "Three");
  single.Set("New", "A", "1");
  single.Set("New", "B", "2");
  EXPECT_EQ(single.Serialize(), batch.Serialize());
  EXPECT_EQ(batch.Value(u"DISC", u"track_3"), "Three");
}

TEST(IniDocument, HasKeysOnlyForASectionThatHoldsKeys) {
  const IniDocument doc = IniDocument::Parse(
      "[Empty]\n"
      "[Comments]\n; Track_1=x\nno equals here\n"
      "[Shadowed]\n"
      "[Full]\nVA=1\n"
      "[shadowed]\nLater=1\n");
  const struct {
    const char16_t* section;
    bool has;
  } cases[] = {{u"Empty", false}, {u"Comments", false}, {u"Shadowed", false}, {u"Full", true},
               {u" full ", true}, {u"FULL", true},      {u"Missing", false}};
  for (const auto& c : cases)
    EXPECT_EQ(doc.HasKeys(c.section), c.has) << QString::fromUtf16(c.section).toStdString();

  IniDocument grown = doc;
  grown.Set("Empty", "Key", "v");
  EXPECT_TRUE(grown.HasKeys(u"empty"));
}

}  // namespace
