#include <gtest/gtest.h>

#include <QDir>

#include "platform/paths.h"
#include "settings/freedb_settings.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace {

TEST(SettingKeys, EveryKeyReadsItsTableDefaultOnAFreshProfile) {
  TempConfig config;
  SettingsStore& store = SettingsStore::Instance();
  for (const SettingKey* key : AllSettingKeys()) {
    if (key->type == SettingKey::Type::Int) {
      EXPECT_EQ(store.ReadInt(*key), key->intDefault) << key->section << "/" << key->key;
    } else {
      QString out;
      EXPECT_FALSE(store.ReadString(*key, out)) << key->key;
      EXPECT_EQ(out, key->DefaultText()) << key->section << "/" << key->key;
    }
  }
  EXPECT_EQ(FindSettingKey("mp3", "ISVBR"), &Key::Mp3IsVBR);
  EXPECT_EQ(FindSettingKey("General", "Nope"), nullptr);
  EXPECT_EQ(Key::FdServer.DefaultText(), "gnudb.gnudb.org");
  EXPECT_EQ(Key::FileNameFormat.intDefault, 4013);
}

TEST(SettingsStore, LoadsAndSavesTheEightCachedIntegers) {
  TempConfig config;
  WriteFileBytes(config.File("korvane.ini"),
                 "[General]\nFormatSelected=11012\nWidth=800\n"
                 "[Options]\nAccessMethod=4003\nSubDirAlbum=0\n");
  SettingsStore& store = SettingsStore::Instance();
  EXPECT_EQ(store.formatSelected, 11012);
  EXPECT_EQ(store.windowWidth, 800);
  EXPECT_EQ(store.windowLeft, 200);
  EXPECT_EQ(store.accessMethod, 4003);
  EXPECT_EQ(store.subDirAlbum, 0);
  EXPECT_EQ(store.subDirArtist, 1);

  store.windowTop = 33;
  store.Save();
  const QByteArray saved = ReadFileBytes(config.File("korvane.ini"));
  for (const char* line : {"Left=200", "Top=33", "Width=800", "Height=450", "FormatSelected=11012",
                           "AccessMethod=4003", "SubDirArtist=1", "SubDirAlbum=0"}) {
    EXPECT_TRUE(saved.contains(line)) << line;
  }
  store.WriteInt(Key::FormatSelected, 11011);
  EXPECT_EQ(store.formatSelected, 11012) << "the cache changes only on Load";
  store.Load();
  EXPECT_EQ(store.formatSelected, 11011);
}

TEST(SettingsStore, OutputFolderDefaultsToTheMusicFolder) {
  TempConfig config;
  SettingsStore& store = SettingsStore::Instance();
  QString folder;
  EXPECT_FALSE(store.ReadOutputFolder(folder));
  EXPECT_EQ(folder, Paths::MusicDir());
  EXPECT_FALSE(folder.isEmpty());
  ASSERT_TRUE(store.WriteOutputFolder(QString::fromUtf8("/srv/音楽")));
  EXPECT_TRUE(store.ReadOutputFolder(folder));
  EXPECT_EQ(folder, QString::fromUtf8("/srv/音楽"));
}

TEST(SettingsStore, MixedCaseKeysNameTheSameSetting) {
  TempConfig config;
  SettingsStore& store = SettingsStore::Instance();
  ASSERT_TRUE(store.WriteInt("MP3", "IsVBR", 1));
  EXPECT_EQ(store.ReadInt(Key::Mp3IsVBR), 1);
}

TEST(FreeDbSettings, ReadsTheSectionOnceAndPortsOnDemand) {
  TempConfig config;
  SettingsStore& store = SettingsStore::Instance();
  store.WriteString(Key::FdProxyServer, "proxy.example");
  store.WriteInt(Key::FdProxyType, ToStored(ProxyKind::Socks5));
  store.WriteString(Key::FdPassword, "s3cret");
  FreeDbSettings freedb;
  EXPECT_EQ(freedb.Server(), "gnudb.gnudb.org");
  EXPECT_EQ(freedb.ProxyServer(), "proxy.example");
  EXPECT_EQ(freedb.ProxyType(), ProxyKind::Socks5);
  EXPECT_EQ(freedb.Password(), "s3cret");
  EXPECT_EQ(freedb.AccessMethod(), FreeDbAccess::Tcp);
  EXPECT_EQ(freedb.TcpPort(), 8880);
  store.WriteString(Key::FdTCPPort, "8000");
  EXPECT_EQ(freedb.TcpPort(), 8000);
}

// A hand-edited section still names a choice the lookup can make: numbers it does not know
// mean a direct connection and the line protocol.
TEST(FreeDbSettings, StoredNumbersReadAsAProxyAndAnAccessMethod) {
  TempConfig config;
  const struct {
    int storedProxy;
    ProxyKind proxy;
    int storedAccess;
    FreeDbAccess access;
  } cases[] = {
      {1051, ProxyKind::Direct, 1068, FreeDbAccess::Tcp},
      {1052, ProxyKind::Socks4, 1069, FreeDbAccess::Http},
      {1053, ProxyKind::Socks4a, 0, FreeDbAccess::Tcp},
      {1054, ProxyKind::Socks5, 1070, FreeDbAccess::Tcp},
      {1055, ProxyKind::Http11, -1, FreeDbAccess::Tcp},
      {0, ProxyKind::Direct, 1067, FreeDbAccess::Tcp},
      {1056, ProxyKind::Direct, 1069, FreeDbAccess::Http},
      {1050, ProxyKind::Direct, 1068, FreeDbAccess::Tcp},
  };
  SettingsStore& store = SettingsStore::Instance();
  for (const auto& c : cases) {
    store.WriteInt(Key::FdProxyType, c.storedProxy);
    store.WriteInt(Key::FdAccessMethod, c.storedAccess);
    const FreeDbSettings freedb;
    EXPECT_EQ(freedb.ProxyType(), c.proxy) << c.storedProxy;
    EXPECT_EQ(freedb.AccessMethod(), c.access) << c.storedAccess;
  }
}

}  // namespace
