// The settings files under faults: files that cannot be read, writers in several processes,
// symbolic links, text beyond the Basic Multilingual Plane.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>
#include <functional>

#include "platform/paths.h"
#include "settings/ini_file.h"
#include "support/test_support.h"

namespace {

constexpr uid_t kNobody = 65534;

// Runs check in a forked child and returns its exit status (0 = every check held). With
// asAnotherUser, a child of root drops to nobody first, as root reads any file.
int InChild(const std::function<int()>& check, bool asAnotherUser = false) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(30);  // a read that blocks fails the test instead of hanging it
    if (asAnotherUser && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(100);
    }
    ::_exit(check());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// What the fault reporter heard in this process (each child has its own copy).
QStringList& Reports() {
  static QStringList reports;
  return reports;
}
void Record(const QString& message) { Reports().append(message); }

// The text in UTF-16, its byte-order mark first, as Windows editors save "Unicode".
QByteArray Utf16(const QByteArray& text, QStringConverter::Encoding encoding) {
  QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
  return encode(QString::fromUtf8(text));
}

struct UnreadableCase {
  const char* what;
  std::function<void(const QString& path)> make;
  bool asAnotherUser;
  const char* reason;
};

TEST(IniFileFaults, AFileThatCannotBeReadIsSaidOnceAndNeverReplaced) {
  const QByteArray settings = "[General]\nLeft=7\n[FreeDBSettings]\nfdPassword=secret\n";
  const UnreadableCase cases[] = {
      {"file of another owner",
       [&](const QString& path) {
         WriteFileBytes(path, settings);
         ::chmod(QFile::encodeName(path).constData(), 0);
       },
       true, "Permission denied"},
      {"folder at the file's path", [](const QString& path) { QDir().mkpath(path + "/child"); },
       false, "Is a directory"},
      {"named pipe at the file's path",
       [](const QString& path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); }, false,
       "not a regular file"},
      {"UTF-16 with its byte-order mark, little-endian",
       [&](const QString& path) {
         WriteFileBytes(path, Utf16(settings, QStringConverter::Utf16LE));
       },
       false, "it is UTF-16 text, which is not read; save it as UTF-8"},
      {"UTF-16 with its byte-order mark, big-endian",
       [&](const QString& path) {
         WriteFileBytes(path, Utf16(settings, QStringConverter::Utf16BE));
       },
       false, "it is UTF-16 text, which is not read; save it as UTF-8"},
  };
  for (const UnreadableCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempConfig config;
    // Another user must reach the folder to show that a replace is refused, not impossible.
    ::chmod(QFile::encodeName(config.Dir()).constData(), 0777);
    const QString path = config.File("korvane.ini");
    c.make(path);
    const QByteArray before = QFileInfo(path).isFile() ? ReadFileBytes(path) : QByteArray();

    const int failed = InChild(
        [&] {
          IniFile::SetFaultReporter(&Record);
          IniFile ini = IniFile::AtPath(path);
          int bad = 0;
          if (ini.ReadInt("General", "Left", 200) != 200) bad |= 1;
          QString text;
          if (ini.ReadString("FreeDBSettings", "fdPassword", "", text) || !text.isEmpty()) bad |= 2;
          if (ini.WriteInt("General", "Left", 9)) bad |= 4;
          if (IniFile::AtPath(path).WriteString("Options", "OutputFolder", "/x")) bad |= 4;
          if (ini.ReadInt("General", "Top", 200) != 200) bad |= 1;
          const QString expected = QString("cannot read %1: %2").arg(path, c.reason);
          if (Reports() != QStringList{expected}) bad |= 8;
          return bad;
        },
        c.asAnotherUser);
    EXPECT_EQ(failed, 0) << "1 read, 2 text read, 4 write succeeded, 8 not said exactly once";
    if (QFileInfo(path).isFile()) {
      EXPECT_EQ(ReadFileBytes(path), before);
    }
    const QStringList left = QDir(config.Dir()).entryList(QDir::Files | QDir::System);
    for (const QString& name : left) {
      EXPECT_TRUE(name == "korvane.ini" || name == "korvane.ini.lock")
          << "left behind: " << name.toStdString();
    }
  }
}

TEST(IniFileFaults, AFileReadableAgainIsReadAndAFaultAfterThatSaidAgain) {
  TempConfig config;
  const QString path = config.File("korvane.ini");
  ASSERT_TRUE(QDir().mkpath(path));
  const int failed = InChild([&] {
    IniFile::SetFaultReporter(&Record);
    IniFile ini = IniFile::AtPath(path);
    int bad = 0;
    ini.ReadInt("S", "v", 0);
    QDir().rmdir(path);
    if (!WriteFileBytes(path, "[S]\nv=5\n") || ini.ReadInt("S", "v", 0) != 5) bad |= 1;
    if (!ini.WriteInt("S", "v", 6) || ini.ReadInt("S", "v", 0) != 6) bad |= 2;
    QFile::remove(path);
    QDir().mkpath(path);
    ini.ReadInt("S", "v", 0);
    if (Reports().size() != 2) bad |= 4;
    return bad;
  });
  EXPECT_EQ(failed, 0) << "1 not read again, 2 not written, 4 second fault not said";
}

TEST(IniFileFaults, WritersInSeveralProcessesLoseNothing) {
  TempConfig config;
  const QString path = config.File("korvane.ini");
  constexpr int kWriters = 3;
  constexpr int kKeys = 60;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      IniFile ini = IniFile::AtPath(path);
      int bad = 0;
      for (int k = 1; k <= kKeys; ++k) {
        // Each writer its own keys, and all of them one shared key and one shared section.
        if (!ini.WriteInt(QString("Writer%1").arg(w), QString("k%1").arg(k), k)) bad = 1;
        if (!ini.WriteStrings("Shared", {{QString("w%1k%2").arg(w).arg(k), "x"}, {"last", "y"}}))
          bad = 1;
      }
      ::_exit(bad);
    }
    ASSERT_GT(pid, 0);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
  }
  IniFile ini = IniFile::AtPath(path);
  int missing = 0;
  QString text;
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 1; k <= kKeys; ++k) {
      if (ini.ReadInt(QString("Writer%1").arg(w), QString("k%1").arg(k), 0) != k) ++missing;
      if (!ini.ReadString("Shared", QString("w%1k%2").arg(w).arg(k), "", text)) ++missing;
    }
  }
  EXPECT_EQ(missing, 0) << "of " << 2 * kWriters * kKeys << " keys";
  EXPECT_EQ(ReadFileBytes(path).count("[Shared]"), 1);
}

struct LinkCase {
  const char* what;
  QString linkTarget;  // relative to the settings folder
  QString realFile;    // where the text must land, relative to the settings folder
};

TEST(IniFileFaults, AFileThatIsALinkStaysALink) {
  const LinkCase cases[] = {
      {"relative link to a file", "../real/korvane.ini", "../real/korvane.ini"},
      {"link to a file not there yet", "../real/new.ini", "../real/new.ini"},
      {"link to a link", "hop.ini", "../real/korvane.ini"},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempConfig config;
    const QString folder = config.Dir() + "/config";
    Paths::SetConfigDirOverride(folder);
    ASSERT_TRUE(QDir().mkpath(config.Dir() + "/real"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WriteFileBytes(config.Dir() + "/real/korvane.ini", "; mine\n[S]\nkept=1\n"));
    ASSERT_TRUE(QFile::link("../real/korvane.ini", folder + "/hop.ini"));
    ASSERT_TRUE(QFile::link(c.linkTarget, folder + "/korvane.ini"));

    IniFile ini("korvane.ini");
    ASSERT_TRUE(ini.WriteInt("S", "added", 2));
    ASSERT_TRUE(ini.WriteInt("S", "added", 3));
    EXPECT_EQ(QFileInfo(folder + "/korvane.ini").symLinkTarget(),
              QFileInfo(folder + "/" + c.linkTarget).absoluteFilePath());
    const QString real = QFileInfo(folder + "/" + c.realFile).absoluteFilePath();
    EXPECT_TRUE(QFileInfo(real).isFile() && !QFileInfo(real).isSymLink());
    EXPECT_TRUE(ReadFileBytes(real).endsWith("added=3\n"));
    EXPECT_EQ(ini.ReadInt("S", "added", 0), 3);
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot)) {
      EXPECT_TRUE(QFileInfo(folder + "/" + name).isSymLink())
          << "written beside the link: " << name.toStdString();
    }
  }
}

TEST(IniFileFaults, TextBeyondTheBasicPlaneIsStandardUtf8BothWays) {
  TempConfig config;
  const QString folder = QString::fromUtf8("/home/me/Música 🎵/😀");
  // As an editor writes it.
  ASSERT_TRUE(WriteFileBytes(config.File("korvane.ini"),
                             "[Options]\nOutputFolder=" + folder.toUtf8() + "\n"));
  IniFile ini("korvane.ini");
  QString out;
  EXPECT_TRUE(ini.ReadString("Options", "OutputFolder", "", out));
  EXPECT_EQ(out, folder);
  ASSERT_TRUE(ini.WriteString("Options", "OutputFolder", folder + "x"));
  EXPECT_EQ(ReadFileBytes(ini.Path()), "[Options]\nOutputFolder=" + (folder + "x").toUtf8() + "\n");
  // As earlier versions wrote it: each half of the pair in three bytes.
  ASSERT_TRUE(WriteFileBytes(ini.Path(), "[Options]\nOutputFolder=/m/\xED\xA0\xBC\xED\xBE\xB5\n"));
  EXPECT_TRUE(ini.ReadString("Options", "OutputFolder", "", out));
  EXPECT_EQ(out, QString::fromUtf8("/m/🎵"));
}

}  // namespace
