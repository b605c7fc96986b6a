#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "settings/ini_document.h"
#include "settings/ini_file.h"
#include "settings/utf16_codec.h"
#include "support/test_support.h"

namespace {

mode_t ModeOf(const QString& path) {
  struct stat st {};
  ::stat(QFile::encodeName(path).constData(), &st);
  return st.st_mode & 0777;
}

TEST(IniFile, FreshProfileCreatesAPrivateFolderAndReadsDefaults) {
  TempConfig config;
  const QString folder = config.Dir() + "/nested/korvane";
  Paths::SetConfigDirOverride(folder);
  IniFile ini("korvane.ini");
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ini.ReadInt("General", "Left", 200), 200);
  QString text;
  EXPECT_FALSE(ini.ReadString("Options", "CDReadSpeed", "DEFAULT", text));
  EXPECT_EQ(text, "DEFAULT");

  ASSERT_TRUE(ini.WriteInt("General", "Left", -5));
  EXPECT_EQ(ModeOf(ini.Path()), 0600u);
  EXPECT_EQ(ini.ReadInt("general", "left", 200), -5);
}

TEST(IniFile, ReadStringReportsOnlyRealDifferences) {
  TempConfig config;
  IniFile ini("korvane.ini");
  QString out;
  EXPECT_FALSE(ini.ReadString("S", "missing", "dflt", out));
  EXPECT_EQ(out, "dflt");
  ASSERT_TRUE(ini.WriteString("S", "same", "dflt"));
  EXPECT_FALSE(ini.ReadString("S", "same", "dflt", out));
  EXPECT_EQ(out, "dflt");
  ASSERT_TRUE(ini.WriteString("S", "other", "value"));
  EXPECT_TRUE(ini.ReadString("S", "other", "dflt", out));
  EXPECT_EQ(out, "value");
  ASSERT_TRUE(ini.WriteString("S", "empty", ""));
  EXPECT_TRUE(ini.ReadString("S", "empty", "dflt", out));
  EXPECT_EQ(out, "");
}

TEST(IniFile, TextRoundTripsThroughTheFileAsUtf8) {
  TempConfig config;
  IniFile ini("korvane.ini");
  const QString folder = QString::fromUtf8("/home/ユーザー/Музыка/Ærø 🎵");
  ASSERT_TRUE(ini.WriteString("Options", "OutputFolder", folder));
  QString out;
  EXPECT_TRUE(ini.ReadString("options", "OUTPUTFOLDER", "", out));
  EXPECT_EQ(out, folder);
  EXPECT_TRUE(ReadFileBytes(ini.Path()).contains("OutputFolder=" + Utf16Codec::Encode(folder)));
}

TEST(IniFile, IntegersReadLikeTheProfileFunctions) {
  TempConfig config;
  WriteFileBytes(config.File("korvane.ini"),
                 "[N]\nplain=42\nneg=-7\ntrailing=12abc\nblank=\nword=abc\nhuge=99999999999\n");
  IniFile ini("korvane.ini");
  EXPECT_EQ(ini.ReadInt("N", "plain", 1), 42);
  EXPECT_EQ(ini.ReadInt("N", "neg", 1), -7);
  EXPECT_EQ(ini.ReadInt("N", "trailing", 1), 12);
  EXPECT_EQ(ini.ReadInt("N", "blank", 1), 1);
  EXPECT_EQ(ini.ReadInt("N", "word", 1), 1);
  EXPECT_EQ(ini.ReadInt("N", "huge", 1), INT_MAX);
  EXPECT_EQ(ini.ReadInt("N", "missing", 1), 1);
}

TEST(IniFile, LongValuesAreCutAndBadNamesRefused) {
  TempConfig config;
  IniFile ini("korvane.ini");
  // 255 two-byte units are 510 bytes; a surrogate pair after them would need 4 more.
  const QString text = QString(255, QChar(0xE9)) + QString::fromUtf8("🎵") + "tail";
  ASSERT_TRUE(ini.WriteString("S", "long", text));
  QString out;
  ini.ReadString("S", "long", "", out);
  EXPECT_EQ(out, QString(255, QChar(0xE9)));

  const QByteArray before = ReadFileBytes(ini.Path());
  EXPECT_FALSE(ini.WriteString(QString(512, 'k'), "key", "x"));
  EXPECT_FALSE(ini.WriteString("S", QString(512, 'k'), "x"));
  EXPECT_FALSE(ini.WriteInt("S", "bad]name", 1));
  EXPECT_FALSE(ini.WriteInt("S", "", 1));
  EXPECT_FALSE(ini.WriteInt("S", "a=b", 1));
  EXPECT_EQ(ReadFileBytes(ini.Path()), before);
}

TEST(IniFile, WriteStringsStoresLikeWriteStringAndSkipsBadKeys) {
  TempConfig config;
  IniFile ini("discs.ini");
  EXPECT_FALSE(ini.HasKeys("0501A202"));
  ASSERT_TRUE(ini.WriteStrings("0501A202", {{"Disc_Title", QStringLiteral("Café\nLive")},
                                            {"bad]key", "x"},
                                            {"Track_1", QString(600, 'a')}}));
  EXPECT_TRUE(ini.HasKeys("0501a202"));
  QString out;
  ini.ReadString("0501A202", "Disc_Title", "", out);
  EXPECT_EQ(out, QStringLiteral("Café Live"));
  ini.ReadString("0501A202", "Track_1", "", out);
  EXPECT_EQ(out, QString(510, 'a'));  // stored up to 511 bytes, read up to 510
  EXPECT_FALSE(ReadFileBytes(ini.Path()).contains("bad"));

  const QByteArray before = ReadFileBytes(ini.Path());
  EXPECT_FALSE(ini.WriteStrings("0501A202", {{"", "x"}, {"a=b", "y"}}));
  EXPECT_FALSE(ini.WriteStrings("0501A202", {}));
  EXPECT_FALSE(ini.WriteStrings("bad]section", {{"Key", "x"}}));
  EXPECT_EQ(ReadFileBytes(ini.Path()), before);
}

TEST(IniFile, ALineBreakInAValueNeverAddsLines) {
  TempConfig config;
  IniFile ini("korvane.ini");
  ASSERT_TRUE(ini.WriteString("S", "title", "one\r\n[Options]\nAccessMethod=4003"));
  EXPECT_EQ(ini.ReadInt("Options", "AccessMethod", 4002), 4002);
  QString out;
  ini.ReadString("S", "title", "", out);
  EXPECT_EQ(out, "one  [Options] AccessMethod=4003");
}

// A read parses only the section it asks for, read a block at a time; it must find what
// the whole file parsed at once gives, whatever the file's shape.
TEST(IniFile, ReadsOneSectionAsTheWholeFileReadsIt) {
  TempConfig config;
  const QByteArray past64k(70000, 'x');
  const QByteArray files[] = {
      "\xEF\xBB\xBF[A]\r\nk=1\r\n[B]\r\nk=2",
      "[A]\nk=1\n[B]\nx=1\n[ a ]\nk=9\nj=2\n",
      "k=0\n  [ Spaced Name ]  trailing\n k = \" v \" \n;[A]\nj=3\n",
      "[Open\nk=1\n[]\nk=2\n[A]\n",
      "[Pad]\np=" + past64k + "\n[A]\nj=after a long line\nk=" + past64k + "\n[B]\nk=b",
      "[A]\n" + QByteArray("filler=0123456789012345678901234567890123456789\n").repeated(3000) +
          "k=far\n[\xC3\x84]\nk=umlaut",
      "",
  };
  const QString sections[] = {"A",           "a", " A ", "B", "Pad",     "Open",
                              "Spaced Name", "",  "Ä",   "Ö", "Missing", "k=0"};
  const QString keys[] = {"k", "j", "x", "p", "filler"};
  for (const QByteArray& bytes : files) {
    ASSERT_TRUE(WriteFileBytes(config.File("sections.ini"), bytes));
    const IniDocument whole = IniDocument::Parse(bytes);
    const IniFile ini("sections.ini");
    for (const QString& section : sections) {
      EXPECT_EQ(ini.HasKeys(section), whole.HasKeys(section)) << section.toStdString();
      for (const QString& key : keys) {
        const std::optional<QByteArray> raw = whole.Value(section, key);
        QString expected = "(none)";
        if (raw) expected = Utf16Codec::Decode(raw->left(IniFile::kMaxReadBytes));
        QString read;
        ini.ReadString(section, key, "(none)", read);
        EXPECT_EQ(read, expected) << section.toStdString() << "/" << key.toStdString() << " in "
                                  << bytes.left(40).toStdString();
      }
    }
  }
}

TEST(IniFile, SeesChangesMadeByOthersAndKeepsTheirLines) {
  TempConfig config;
  IniFile ini("korvane.ini");
  ASSERT_TRUE(ini.WriteInt("S", "v", 1));
  EXPECT_EQ(ini.ReadInt("S", "v", 0), 1);
  // Another program rewrites the file with the same size.
  ASSERT_TRUE(WriteFileBytes(ini.Path(), "[S]\nv=2\n"));
  EXPECT_EQ(ini.ReadInt("S", "v", 0), 2);
  ASSERT_TRUE(WriteFileBytes(ini.Path(), "; mine\n[S]\nv=3\nx=keep\n"));
  ASSERT_TRUE(IniFile("korvane.ini").WriteInt("S", "w", 4));
  EXPECT_EQ(ReadFileBytes(ini.Path()), "; mine\n[S]\nv=3\nx=keep\nw=4\n");
}

TEST(IniFile, WritingTheStoredValueAgainLeavesTheFileAlone) {
  TempConfig config;
  IniFile ini("korvane.ini");
  ASSERT_TRUE(ini.WriteInt("S", "v", 1));
  auto inode = [&] {
    struct stat st {};
    ::stat(QFile::encodeName(ini.Path()).constData(), &st);
    return st.st_ino;
  };
  const ino_t first = inode();
  ASSERT_TRUE(ini.WriteInt("S", "v", 1));
  EXPECT_EQ(inode(), first);
  ASSERT_TRUE(ini.WriteInt("S", "v", 2));
  EXPECT_NE(inode(), first);
  EXPECT_EQ(ini.ReadInt("S", "v", 0), 2);
}

TEST(IniFile, AFailedWriteLeavesTheOldFile) {
  TempConfig config;
  IniFile ini("korvane.ini");
  ASSERT_TRUE(ini.WriteInt("S", "v", 1));
  // A folder in place of the file: the replace must fail and report it.
  IniFile blocked = IniFile::AtPath(config.File("blocked.ini"));
  ASSERT_TRUE(QDir(config.Dir()).mkpath("blocked.ini/child"));
  EXPECT_FALSE(blocked.WriteInt("S", "v", 2));
  EXPECT_TRUE(QFileInfo(config.File("blocked.ini")).isDir());
  // Beside the file only the lock files of the writers may stay.
  EXPECT_EQ(
      QDir(config.Dir()).entryList(QDir::Files).filter(QRegularExpression("\\.lock$")).size() + 1,
      QDir(config.Dir()).entryList(QDir::Files).size())
      << "no temporary file left behind";
  EXPECT_EQ(ini.ReadInt("S", "v", 0), 1);
}

TEST(IniFile, ConcurrentReadersAndWritersLoseNothing) {
  TempConfig config;
  // Two writers fill their own keys while readers read; a reader must only ever see values
  // that were written, and no writer's update may be lost to the other's replace.
  std::atomic<bool> done{false};
  std::atomic<int> badReads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      IniFile reader("korvane.ini");
      while (!done) {
        const int v = reader.ReadInt("A", "last", 0);
        if (v < 0 || v > 100) ++badReads;
      }
    });
  }
  auto writer = [](const char* section) {
    IniFile ini("korvane.ini");
    for (int i = 1; i <= 100; ++i) {
      ini.WriteInt(section, QString("k%1").arg(i), i);
      ini.WriteInt(section, "last", i);
    }
  };
  std::thread a(writer, "A"), b(writer, "B");
  a.join();
  b.join();
  done = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(badReads, 0);
  IniFile ini("korvane.ini");
  for (const char* section : {"A", "B"}) {
    for (int i = 1; i <= 100; ++i) {
      ASSERT_EQ(ini.ReadInt(section, QString("k%1").arg(i), 0), i) << section << i;
    }
  }
}

}  // namespace
