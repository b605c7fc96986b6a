#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <thread>
#include <vector>

#include "settings/settings_store.h"
#include "support/test_support.h"
#include "texts/language_manager.h"

namespace {

// A folder of language files written by the test.
class LanguageFolder {
 public:
  QString Path() const { return dir_.path(); }
  QString Write(const QString& fileName, const QByteArray& contents) const {
    const QString path = dir_.filePath(fileName);
    EXPECT_TRUE(WriteFileBytes(path, contents)) << path.toStdString();
    return path;
  }

 private:
  QTemporaryDir dir_;
};

void UseLanguage(const QString& path) {
  ASSERT_TRUE(SettingsStore::Instance().WriteString(Key::Language, path));
}

LanguageManager& Texts() { return LanguageManager::Instance(); }

struct TextCase {
  unsigned id;
  QString text;
  bool found;
};

void ExpectTexts(const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) {
    QString out = QStringLiteral("left over");
    EXPECT_EQ(Texts().GetText(c.id, out), c.found) << c.id;
    EXPECT_EQ(out, c.text) << c.id;
    EXPECT_EQ(Texts().Text(c.id), c.text) << c.id;
  }
}

TEST(GetText, TakesTheFileThenTheBuiltInTextThenTheNumber) {
  TempConfig config;
  LanguageFolder folder;
  UseLanguage(folder.Write("Test.lng",
                           "[Translation]\n"
                           "LanguageName=Test\n"
                           "900=Jawohl\n"
                           "905=905\n"
                           "913=Erste{RN}Zweite{RN}\n"
                           "2001=\"K\xC3\xBCnstler: \"\n"
                           "77777=Nur in der Datei\n"
                           "[Other]\n"
                           "901=Not a translation\n"));
  ExpectTexts({
      {900, "Jawohl", true},
      {905, "Options", true},  // a translation equal to its own identifier counts as missing
      {913, "Erste\r\nZweite\r\n", true},
      {2001, QString::fromUtf8("K\xC3\xBCnstler: "), true},
      {77777, "Nur in der Datei", true},
      {901, "Cancel", true},
      {2004, "Genre: ", true},
      {1031, "Proxy opperation failed", true},
      {1038, "Unknwon freedb code received", true},
      {9004, "freedb CD database (gnudb.org)", true},
      {9400,
       "A detailed error report has been created. You can send it to help us improve "
       "Korvane.\r\nWe will treat this report as confidential and anonymous. Do you want to "
       "send the error report now?",
       true},
      {911, "911", false},
      {0, "0", false},  // the table's section comments are never a text
      {4294967295u, "4294967295", false},
  });
}

TEST(GetText, WithoutAUsableLanguageFileGivesTheBuiltInTexts) {
  TempConfig config;
  LanguageFolder folder;
  const QString empty = folder.Write("empty.lng", "");
  for (const QString& language : {QString(), folder.Path() + "/gone.lng", folder.Path(), empty}) {
    SCOPED_TRACE(language.toStdString());
    UseLanguage(language);
    ExpectTexts(
        {{900, "OK", true}, {2003, "Year: ", true}, {3014, "Advanced..", true}, {12, "12", false}});
  }
}

TEST(GetText, ALanguageChangeShowsAtTheNextText) {
  TempConfig config;
  LanguageFolder folder;
  const QString alpha = folder.Write("alpha.lng", "[Translation]\n6000=&Alpha\n");
  const QString beta = folder.Write("beta.lng", "[Translation]\n6000=&Beta\n");
  EXPECT_EQ(Texts().Text(6000), "&File");
  UseLanguage(alpha);
  EXPECT_EQ(Texts().Text(6000), "&Alpha");
  UseLanguage(beta);
  EXPECT_EQ(Texts().Text(6000), "&Beta");

  // The translator edits the chosen file; names match without regard to case.
  folder.Write("beta.lng", "[translation]\n  6000 =  &Beta, zweite Fassung \n");
  EXPECT_EQ(Texts().Text(6000), "&Beta, zweite Fassung");

  // Another process changes the setting behind the store's back.
  ASSERT_TRUE(
      WriteFileBytes(config.File("korvane.ini"), "[General]\nLanguage=" + alpha.toUtf8() + "\n"));
  EXPECT_EQ(Texts().Text(6000), "&Alpha");

  UseLanguage(QString());
  EXPECT_EQ(Texts().Text(6000), "&File");
}

TEST(GetText, ReadersOnOtherThreadsSeeOneLanguageOrTheOtherWhileItChanges) {
  TempConfig config;
  LanguageFolder folder;
  const QString german = folder.Write("de.lng", "[Translation]\n5003=CD rippen\n");
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        const QString text = Texts().Text(5003);
        if (text != "Rip CD" && text != "CD rippen") ++wrong;
      }
    });
  }
  for (int i = 0; i < 200; ++i) UseLanguage(i % 2 ? german : QString());
  stop = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(wrong, 0);
}

TEST(EnumerateLanguages, ListsEveryLanguageFileByFileNameAndMapsTheLaterOfTwoNamesakes) {
  TempConfig config;
  LanguageFolder folder;
  const QString dir = folder.Path();
  folder.Write("b-second.lng", "[Translation]\nLanguageName=Deutsch\n");
  folder.Write("a-first.lng", "[Translation]\nLanguageName=Deutsch\n");
  folder.Write("c-plain.lng", "[Translation]\n900=OK\n");
  folder.Write("D-Upper.LNG",
               "[Translation]\nLanguageName=Fran\xC3\xA7"
               "ais\n");
  folder.Write("notes.txt", "[Translation]\nLanguageName=Notes\n");
  folder.Write("e.lng.bak", "[Translation]\nLanguageName=Backup\n");
  ASSERT_TRUE(QDir(dir).mkdir("folder.lng"));

  QStringList names{"left over"};
  EXPECT_TRUE(Texts().EnumerateLanguages(dir + "/", names));
  const QString french = QString::fromUtf8(
      "Fran\xC3\xA7"
      "ais");
  EXPECT_EQ(names, QStringList({"Deutsch", "Deutsch", "c-plain.lng", french}));
  EXPECT_EQ(Texts().LanguagePath("Deutsch"), dir + "/b-second.lng");
  EXPECT_EQ(Texts().LanguagePath("c-plain.lng"), dir + "/c-plain.lng");
  EXPECT_EQ(Texts().LanguagePath(french), dir + "/D-Upper.LNG");
  EXPECT_EQ(Texts().LanguagePath("Notes"), QString());
  EXPECT_EQ(Texts().LanguagePath("English"), QString());
}

TEST(EnumerateLanguages, AFolderWithoutLanguageFilesFailsAndClearsTheListing) {
  TempConfig config;
  LanguageFolder full;
  LanguageFolder bare;
  full.Write("x.lng", "[Translation]\nLanguageName=X\n");
  bare.Write("readme.txt", "no languages here\n");
  QStringList names;
  ASSERT_TRUE(Texts().EnumerateLanguages(full.Path(), names));
  ASSERT_EQ(names, QStringList{"X"});

  for (const QString& folder : {bare.Path(), bare.Path() + "/missing"}) {
    SCOPED_TRACE(folder.toStdString());
    names = QStringList{"X"};
    EXPECT_FALSE(Texts().EnumerateLanguages(folder, names));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_EQ(Texts().LanguagePath("X"), QString()) << "the map is rebuilt at every listing";
  }
}

TEST(ChooseLanguage, StoresTheListedPathOrNothingForAnUnknownName) {
  TempConfig config;
  LanguageFolder folder;
  const QString path =
      folder.Write("de.lng", "[Translation]\nLanguageName=Deutsch\n6501=Sprache\n");
  QStringList names;
  ASSERT_TRUE(Texts().EnumerateLanguages(folder.Path(), names));

  EXPECT_TRUE(Texts().ChooseLanguage("Deutsch"));
  EXPECT_EQ(SettingsStore::Instance().ReadText(Key::Language), path);
  EXPECT_EQ(Texts().Text(6501), "Sprache");

  EXPECT_TRUE(Texts().ChooseLanguage("Klingon"));
  QString stored = QStringLiteral("left over");
  EXPECT_FALSE(SettingsStore::Instance().ReadString(Key::Language, stored));
  EXPECT_EQ(stored, QString());
  EXPECT_EQ(Texts().Text(6501), "Language");
}

}  // namespace
