#include <gtest/gtest.h>

#include <QDir>
#include <QHash>
#include <QStringList>
#include <utility>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/test_support.h"
#include "texts/builtin_texts.h"
#include "texts/language_manager.h"

namespace {

QString ShippedLanguageDir() { return QDir::cleanPath(BinDir() + "/../share/korvane/languages"); }

// The key lines of a language file as written, by section: the file is checked line by
// line here so a key the program would never ask for still shows.
struct KeyLine {
  QByteArray section;
  QByteArray key;
  QByteArray value;  // as written, quotes included
};

std::vector<KeyLine> KeyLines(const QByteArray& bytes) {
  std::vector<KeyLine> lines;
  QByteArray section;
  for (const QByteArray& raw : bytes.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(';')) continue;
    if (line.startsWith('[') && line.endsWith(']')) {
      section = line.mid(1, line.size() - 2);
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    lines.push_back({section, line.left(std::max<qsizetype>(equals, 0)).trimmed(),
                     line.mid(equals + 1).trimmed()});
  }
  return lines;
}

// What other code relies on in a text besides its words: line breaks, menu accelerators,
// a label's closing colon and blank, the " - " that splits a file-name pattern.
struct TextShape {
  qsizetype lineBreaks;
  qsizetype accelerators;
  bool endsWithColon;
  bool endsWithBlank;
  bool hasDashSeparator;

  explicit TextShape(const QString& text)
      : lineBreaks(text.count(QStringLiteral("{RN}"))),
        accelerators(text.count(QLatin1Char('&'))),
        endsWithColon(text.trimmed().endsWith(QLatin1Char(':'))),
        endsWithBlank(text.endsWith(QLatin1Char(' '))),
        hasDashSeparator(text.contains(QStringLiteral(" - "))) {}
  bool operator==(const TextShape&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TextShape& s) {
  return os << "{RN}x" << s.lineBreaks << " &x" << s.accelerators << " colon " << s.endsWithColon
            << " blank " << s.endsWithBlank << " dash " << s.hasDashSeparator;
}

TEST(ShippedGerman, TranslatesEveryTextOfTheTableAndNothingElse) {
  const QString path = ShippedLanguageDir() + "/Deutsch.lng";
  const QByteArray bytes = ReadFileBytes(path);
  ASSERT_FALSE(bytes.isEmpty()) << path.toStdString();
  EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF")) << "a byte-order mark would hide the section";

  QHash<QByteArray, QByteArray> values;
  for (const KeyLine& line : KeyLines(bytes)) {
    EXPECT_EQ(line.section, "Translation") << line.key.constData();
    EXPECT_FALSE(values.contains(line.key)) << "written twice: " << line.key.constData();
    values.insert(line.key, line.value);
  }
  EXPECT_EQ(values.take("LanguageName"), "Deutsch");

  const IniFile file = IniFile::AtPath(path);
  for (const BuiltInText& row : BuiltInTexts()) {
    if (row.IsComment()) continue;
    const QString key = QString::number(row.id);
    SCOPED_TRACE(key.toStdString());
    ASSERT_TRUE(values.contains(key.toLatin1()));
    const QByteArray raw = values.take(key.toLatin1());
    EXPECT_LE(raw.size(), IniFile::kMaxReadBytes) << "longer values are cut when read";

    QString german;
    EXPECT_TRUE(file.ReadString("Translation", key, key, german));
    const QString english = QString::fromUtf8(row.text);
    // Every character must read the same through the settings codec as through standard
    // UTF-8: the codec has no four-byte sequences.
    const bool quoted = raw.size() >= 2 && raw.startsWith('"') && raw.endsWith('"');
    EXPECT_EQ(german, QString::fromUtf8(quoted ? raw.mid(1, raw.size() - 2) : raw));
    EXPECT_EQ(TextShape(german), TextShape(english)) << german.toStdString();
  }
  EXPECT_TRUE(values.isEmpty()) << "not an identifier of the table: "
                                << values.keys().join(' ').constData();
}

TEST(ShippedGerman, IsListedBesideTheProgramAndTranslatesOnceChosen) {
  TempConfig config;
  LanguageManager& texts = LanguageManager::Instance();
  QStringList names;
  ASSERT_TRUE(texts.EnumerateAllLanguages(names));
  EXPECT_TRUE(names.contains("Deutsch")) << names.join(", ").toStdString();
  EXPECT_EQ(texts.LanguagePath("Deutsch"), ShippedLanguageDir() + "/Deutsch.lng");

  ASSERT_TRUE(texts.ChooseLanguage("Deutsch"));
  EXPECT_EQ(texts.Text(6000), "&Datei");
  EXPECT_EQ(texts.Text(2001), "Interpret: ");
  EXPECT_EQ(texts.Text(913), QString::fromUtf8("Schlie\xC3\x9F"
                                               "en"));
  const QString crashQuestion = texts.Text(9400);
  EXPECT_EQ(crashQuestion.count("\r\n"), 1);
  EXPECT_TRUE(crashQuestion.startsWith("Ein ausf")) << crashQuestion.toStdString();
}

}  // namespace
