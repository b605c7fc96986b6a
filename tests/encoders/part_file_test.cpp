// The temporary file an output is written under: where it lives, what its commit replaces,
// and what is left after a discard or a failure.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "encoders/part_file.h"
#include "support/test_support.h"

namespace {

class PartFileTest : public ::testing::Test {
 protected:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QStringList Names(const QString& folder = {}) const {
    return QDir(folder.isEmpty() ? dir_.path() : folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
  }
  QTemporaryDir dir_;
};

TEST_F(PartFileTest, TheTemporaryFileIsHiddenBesideTheFinalOneAndNamesThisProcess) {
  const QString part = PartPathFor(Path("01 - Song.wav"));
  EXPECT_EQ(part, Path(QStringLiteral(".01 - Song.wav.%1.part").arg(::getpid())));

  // A name that fills the file system's limit still gets a temporary name that fits, cut
  // between characters (a 3-byte character, then a 4-byte one, the emoji).
  for (const QString& unit : {QStringLiteral("\u20ac"), QStringLiteral("\U0001F3B5")}) {
    const QString longName = QString(unit).repeated(255 / int(unit.toUtf8().size()));
    const QString fileName = QFileInfo(PartPathFor(Path(longName))).fileName();
    EXPECT_LE(fileName.toUtf8().size(), 255);
    EXPECT_TRUE(fileName.endsWith(QStringLiteral(".%1.part").arg(::getpid())));
    EXPECT_FALSE(fileName.toUtf8().contains("\xef\xbf\xbd")) << "no character cut in half";
    PartFile file(Path(longName));
    ASSERT_TRUE(file.Create()) << file.ErrorText().toStdString();
    ASSERT_TRUE(WriteFileBytes(file.Path(), "whole"));
    ASSERT_TRUE(file.Commit()) << file.ErrorText().toStdString();
    EXPECT_EQ(ReadFileBytes(Path(longName)), "whole");
  }
}

TEST_F(PartFileTest, CommitRenamesOverWhateverHasTheFinalNameAndNeverWritesThroughALink) {
  QTemporaryDir elsewhere;
  const QString victim = elsewhere.filePath("victim");
  ASSERT_TRUE(WriteFileBytes(victim, "not yours"));
  ASSERT_TRUE(QFile::link(victim, Path("song.wav")));
  ASSERT_TRUE(WriteFileBytes(Path("other.wav"), "an earlier rip"));

  for (const QString& name : {QStringLiteral("song.wav"), QStringLiteral("other.wav")}) {
    PartFile file(Path(name));
    ASSERT_TRUE(file.Create());
    ASSERT_TRUE(WriteFileBytes(file.Path(), "new audio"));
    ASSERT_TRUE(file.Commit());
    const QFileInfo final(Path(name));
    EXPECT_FALSE(final.isSymLink()) << name.toStdString();
    EXPECT_EQ(ReadFileBytes(Path(name)), "new audio");
  }
  EXPECT_EQ(ReadFileBytes(victim), "not yours");
  EXPECT_EQ(Names(), (QStringList{"other.wav", "song.wav"})) << "no temporary file left";
}

// Two runs that chose the same free name: the one that commits second never replaces the
// first one's file.
TEST_F(PartFileTest, AFileThatTookTheNameDuringTheRunStaysAndTheNewOneTakesTheNextNumber) {
  PartFile file(Path("IMAGE.bin"));
  ASSERT_TRUE(file.Create());
  ASSERT_TRUE(WriteFileBytes(file.Path(), "this disc"));
  ASSERT_TRUE(WriteFileBytes(Path("IMAGE.bin"), "another disc"));
  ASSERT_TRUE(WriteFileBytes(Path("IMAGE (2).bin"), "a third disc"));
  ASSERT_TRUE(file.Commit()) << file.ErrorText().toStdString();
  EXPECT_EQ(file.FinalPath(), Path("IMAGE (3).bin"));
  EXPECT_EQ(ReadFileBytes(Path("IMAGE (3).bin")), "this disc");
  EXPECT_EQ(ReadFileBytes(Path("IMAGE.bin")), "another disc");
  EXPECT_EQ(ReadFileBytes(Path("IMAGE (2).bin")), "a third disc");
  EXPECT_EQ(Names(), (QStringList{"IMAGE (2).bin", "IMAGE (3).bin", "IMAGE.bin"}));
}

TEST(NumberedPath, GoesInFrontOfTheExtensionAndKeepsTheNameWithinItsLimit) {
  EXPECT_EQ(NumberedPath("/m/Band/01 - Song.wav", 2), "/m/Band/01 - Song (2).wav");
  EXPECT_EQ(NumberedPath("/m/v1.2/README", 3), "/m/v1.2/README (3)");
  EXPECT_EQ(NumberedPath("/m/.hidden", 2), "/m/.hidden (2)");
  const QString longName = QString(QStringLiteral("\u20ac")).repeated(82) + ".wav";  // 250 bytes
  const QString numbered = NumberedPath("/m/" + longName, 12).mid(3);
  EXPECT_LE(numbered.toUtf8().size(), 255);
  EXPECT_TRUE(numbered.endsWith("\u20ac (12).wav")) << numbered.toStdString();
}

TEST_F(PartFileTest, AFileNotCommittedGoesAndTheFinalNameKeepsWhatItHad) {
  ASSERT_TRUE(WriteFileBytes(Path("song.wav"), "an earlier rip"));
  {
    PartFile discarded(Path("song.wav"));
    ASSERT_TRUE(discarded.Create());
    ASSERT_TRUE(WriteFileBytes(discarded.Path(), "half"));
    discarded.Discard();
    EXPECT_FALSE(QFileInfo::exists(discarded.Path()));
    PartFile dropped(Path("new.wav"));
    ASSERT_TRUE(dropped.Create());
    ASSERT_TRUE(WriteFileBytes(dropped.Path(), "half"));
  }  // dropped goes without a commit
  EXPECT_EQ(Names(), QStringList{"song.wav"});
  EXPECT_EQ(ReadFileBytes(Path("song.wav")), "an earlier rip");
}

TEST_F(PartFileTest, CreateMakesMissingFoldersAndNeverFollowsALinkAtTheTemporaryName) {
  const QString final = Path("Artist/Album/01.wav");
  QTemporaryDir elsewhere;
  PartFile file(final);
  ASSERT_TRUE(file.Create()) << file.ErrorText().toStdString();
  EXPECT_TRUE(QFileInfo(file.Path()).isFile());
  file.Discard();

  // A link planted at the temporary name is replaced, its target left alone.
  const QString victim = elsewhere.filePath("victim");
  ASSERT_TRUE(WriteFileBytes(victim, "not yours"));
  ASSERT_TRUE(QFile::link(victim, file.Path()));
  ASSERT_TRUE(file.Create());
  EXPECT_FALSE(QFileInfo(file.Path()).isSymLink());
  EXPECT_EQ(ReadFileBytes(victim), "not yours");
}

TEST_F(PartFileTest, FailuresNameTheFolderOrFileAndTheSystemsReason) {
  ASSERT_TRUE(WriteFileBytes(Path("Artist"), "a file where a folder goes"));
  PartFile noFolder(Path("Artist/Album/01.wav"));
  EXPECT_FALSE(noFolder.Create());
  EXPECT_EQ(noFolder.ErrorText(),
            "cannot create folder " + Path("Artist/Album") + ": Not a directory");

  // A folder at the final name: the rename is refused, the temporary file goes.
  ASSERT_TRUE(QDir().mkdir(Path("taken.wav")));
  {
    PartFile file(Path("taken.wav"));
    ASSERT_TRUE(file.Create());
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.ErrorText(), Path("taken.wav") + ": Is a directory");
  }
  EXPECT_EQ(Names(), (QStringList{"Artist", "taken.wav"}));
}

}  // namespace
