// Edit Disc Info and the freedb lookup dialog against a loopback CDDB server and the
// virtual drive.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/disc_lookup.h"
#include "cddb_test_server.h"
#include "dialog_test_support.h"
#include "loopback_peers.h"
#include "metadata/disc_info.h"
#include "support/freedb_example.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"
#include "ui/dialogs/dialog_support.h"
#include "ui/dialogs/disc_dialogs.h"

namespace {

class DiscDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureWidgetApp();
    ASSERT_NE(disc_.Insert(), nullptr);
    LoadDiscInformation(info_);
    id_ = info_.discId.toLower().toLatin1();
    entry_ = LoopAlbumEntry(id_, 3);
  }

  void UseServer(quint16 port) {
    SettingsStore& store = SettingsStore::Instance();
    store.WriteString(Key::FdServer, "127.0.0.1");
    store.WriteInt(Key::FdTCPPort, port);
    store.WriteInt(Key::FdAccessMethod, ToStored(FreeDbAccess::Tcp));
  }

  // Opens the lookup dialog and waits for its lookup to end.
  std::unique_ptr<FreeDBDlg> Lookup() {
    auto dlg = std::make_unique<FreeDBDlg>(info_);
    dlg->SetTimeouts(5000, 5000);
    dlg->show();
    auto* button = FindId<QPushButton>(dlg.get(), 1049);
    EXPECT_TRUE(RunEventsUntil([&] { return !button->isEnabled(); }, 5000));
    EXPECT_TRUE(RunEventsUntil([&] { return button->isEnabled() || !dlg->isVisible(); }, 20000));
    return dlg;
  }

  const TempConfig& config_ = FreshConfig();
  TestDisc disc_{{TestTrack(300), TestTrack(450), TestTrack(200)}};
  DiscInfo info_;
  QByteArray id_;
  QByteArray entry_;
};

TEST_F(DiscDialogs, EditPrevAndNextWrapOnThreeTracks) {
  QList<int> marks;
  TrackListHooks hooks;
  hooks.markRow = [&](int row) { marks.append(row); };
  EnterDiscInfoDlg dlg(info_, 3, hooks);
  EXPECT_EQ(dlg.CurrentTrack(), 0);
  FindId<QPushButton>(&dlg, 3009)->click();  // Prev on the first shows the last
  EXPECT_EQ(dlg.CurrentTrack(), 2);
  EXPECT_EQ(FindId<QLineEdit>(&dlg, 3001)->text(), info_.GetTrackTitle(2));
  FindId<QPushButton>(&dlg, 3008)->click();  // Next on the last shows the first
  EXPECT_EQ(dlg.CurrentTrack(), 0);
  dlg.accept();
  EXPECT_EQ(marks, (QList<int>{0, 2, 0, -1}));
}

TEST_F(DiscDialogs, ArtistGoesToTheDiscUnlessVariousArtists) {
  info_.SetVariousArtists(0);
  {
    EnterDiscInfoDlg dlg(info_, 3);
    FindId<QPushButton>(&dlg, 3008)->click();
    FindId<QLineEdit>(&dlg, 3002)->setText("New Artist");
    FindId<QPushButton>(&dlg, 3008)->click();
    EXPECT_EQ(FindId<QLineEdit>(&dlg, 3002)->text(), "New Artist");  // every track shows it
  }
  EXPECT_EQ(info_.artist, "New Artist");
  EXPECT_EQ(info_.GetTrackArtist(0), "New Artist");

  EnterDiscInfoDlg dlg(info_, 3);
  FindId<QCheckBox>(&dlg, 3007)->click();
  EXPECT_EQ(info_.GetVariousArtists(), 1);
  FindId<QLineEdit>(&dlg, 3002)->setText("Guest");
  FindId<QPushButton>(&dlg, 3008)->click();
  EXPECT_EQ(info_.artist, "New Artist");
  EXPECT_EQ(info_.GetTrackArtist(0), "Guest");
  EXPECT_EQ(info_.GetTrackArtist(1), info_.trackArtists.value(1));
}

// A various-artists disc shows the album artist's field: it names the album (and its folder),
// while the artist field stays the track's own.
TEST_F(DiscDialogs, AlbumArtistFieldOnVariousArtistsDiscs) {
  info_.SetVariousArtists(0);
  EnterDiscInfoDlg dlg(info_, 3);
  auto* albumArtist = FindId<QLineEdit>(&dlg, 3016);
  ASSERT_NE(albumArtist, nullptr);
  EXPECT_FALSE(albumArtist->isVisibleTo(&dlg));
  EXPECT_FALSE(FindId(&dlg, 3017)->isVisibleTo(&dlg));
  FindId<QCheckBox>(&dlg, 3007)->click();
  EXPECT_TRUE(albumArtist->isVisibleTo(&dlg));
  EXPECT_EQ(FindId<QLabel>(&dlg, 3017)->text(), "Album Artist");
  albumArtist->setText("The Compilers");
  FindId<QLineEdit>(&dlg, 3002)->setText("Guest");
  FindId<QPushButton>(&dlg, 3008)->click();
  EXPECT_EQ(info_.artist, "The Compilers");
  EXPECT_EQ(info_.AlbumArtist(), "The Compilers");
  EXPECT_EQ(info_.GetTrackArtist(0), "Guest");
  FindId<QCheckBox>(&dlg, 3007)->click();
  EXPECT_FALSE(albumArtist->isVisibleTo(&dlg));
}

// The year, genre and comment the dialog shows for a disc without them are placeholders;
// only those the user types become the disc's.
TEST_F(DiscDialogs, OnlyTypedDetailsBecomeKnown) {
  EnterDiscInfoDlg dlg(info_, 3);
  auto* year = FindId<QLineEdit>(&dlg, 3005);
  EXPECT_EQ(year->text(), "2008");
  EXPECT_EQ(FindId<QLineEdit>(&dlg, 3004)->text(), "Rock");
  year->setText("2008");
  year->setModified(true);  // as typing leaves it
  dlg.accept();
  EXPECT_EQ(info_.TagText(DiscInfo::Year), "2008");
  EXPECT_EQ(info_.TagText(DiscInfo::Genre), "");
  EXPECT_EQ(info_.TagText(DiscInfo::Comment), "");
}

// Several discs match: the dialog lists them (artist, title, category) and reads the one the
// user chooses.
TEST_F(DiscDialogs, LookupWithSeveralMatchesLetsTheUserChoose) {
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("211 Found inexact matches, list follows\r\nmisc " + id_ +
                        " Other Band / Other Album\r\nrock " + id_ +
                        " Loop Artist / Loop Album\r\n.\r\n");
  server.AddEntry("rock", id_, entry_);
  UseServer(server.Port());
  auto dlg = Lookup();  // ends when the button offers the choice
  auto* list = FindId<QListWidget>(dlg.get(), 1060);
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(list->isVisible()) << dlg->LogText().toStdString();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "Other Band / Other Album (misc)");
  EXPECT_TRUE(dlg->LogText().endsWith("Several discs match. Choose one:"));
  auto* button = FindId<QPushButton>(dlg.get(), 1049);
  EXPECT_EQ(button->text(), "Choose");
  list->setCurrentRow(1);
  button->click();
  EXPECT_FALSE(list->isVisible());
  ASSERT_TRUE(RunEventsUntil([&] { return button->isEnabled(); }, 20000));
  ASSERT_TRUE(dlg->Succeeded()) << dlg->LogText().toStdString();
  EXPECT_EQ(info_.artist, "Loop Artist");
  EXPECT_EQ(info_.genre, "Test Genre");
  EXPECT_EQ(button->text(), "Apply");
}

TEST_F(DiscDialogs, EditOkIsStoredAndTheCommandLineShowsIt) {
  {
    EnterDiscInfoDlg dlg(info_, 3);
    FindId<QLineEdit>(&dlg, 3001)->setText("Edited Title");
    FindId<QLineEdit>(&dlg, 3003)->setText("Edited Album");
    dlg.reject();  // closing the window is OK
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
  ASSERT_TRUE(info_.SaveToCache());  // what the controller does after OK
  const ProcessResult info = RunCli(config_.Dir(), {"--virtual-disc", disc_.CuePath(), "info"});
  ASSERT_EQ(info.exitCode, 0) << info.err.constData();
  EXPECT_TRUE(info.out.contains("Edited Title")) << info.out.constData();
  EXPECT_TRUE(info.out.contains("Edited Album")) << info.out.constData();
}

TEST_F(DiscDialogs, LookupFindsTheDiscAndApplyEndsWithOk) {
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("200 rock " + id_ + " Loop Artist / Loop Album\r\n");
  server.AddEntry("rock", id_, entry_);
  UseServer(server.Port());
  auto dlg = Lookup();
  ASSERT_TRUE(dlg->Succeeded()) << dlg->LogText().toStdString();
  auto* apply = FindId<QPushButton>(dlg.get(), 1049);
  EXPECT_EQ(apply->text(), "Apply");
  EXPECT_TRUE(dlg->LogText().contains(
      "Click Apply to save the disc info:\n===================\nArtist: Loop Artist\n"
      "Album: Loop Album\nYear: 2024\nGenre: Test Genre\nTrack List:\n"
      "Loop Artist - First Song\n"))
      << dlg->LogText().toStdString();
  EXPECT_EQ(info_.album, "Loop Album");
  EXPECT_EQ(FindId<QProgressBar>(dlg.get(), 1059)->value(), 100);
  apply->click();
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

// A folder in the way of the disc cache's lock: the cache cannot be written.
TEST_F(DiscDialogs, ALookupWhoseCacheCannotBeWrittenSaysSo) {
  QFile::remove(config_.File("discs.ini.lock"));
  ASSERT_TRUE(QDir().mkpath(config_.File("discs.ini.lock")));
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("200 rock " + id_ + " Loop Artist / Loop Album\r\n");
  server.AddEntry("rock", id_, entry_);
  UseServer(server.Port());
  auto dlg = Lookup();
  EXPECT_TRUE(
      dlg->LogText().endsWith("the disc cache could not be written: " + config_.File("discs.ini")))
      << dlg->LogText().toStdString();
}

// The first listed disc is chosen unless the user picks another.
TEST_F(DiscDialogs, SeveralMatchesOfferTheFirstByDefault) {
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("211 Found inexact matches, list follows\r\nfolk " + id_ +
                        " Loop Artist / Loop Album\r\n"
                        "rock " +
                        id_ + " Other / Other\r\n.\r\n");
  server.AddEntry("folk", id_, entry_);
  UseServer(server.Port());
  auto dlg = Lookup();
  auto* button = FindId<QPushButton>(dlg.get(), 1049);
  EXPECT_FALSE(dlg->Succeeded());
  button->click();  // "Choose"
  ASSERT_TRUE(RunEventsUntil([&] { return button->isEnabled(); }, 20000));
  EXPECT_TRUE(dlg->Succeeded()) << dlg->LogText().toStdString();
  EXPECT_TRUE(server.Commands().contains("cddb read folk " + QString::fromLatin1(id_)));
}

TEST_F(DiscDialogs, NotFoundAndFailuresShowTheirOwnText) {
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetQueryAnswer("202 No match for disc ID " + id_ + ".\r\n");
  UseServer(server.Port());
  {
    auto dlg = Lookup();
    EXPECT_FALSE(dlg->Succeeded());
    EXPECT_TRUE(dlg->LogText().endsWith("The disc is not found in FreeDB"))
        << dlg->LogText().toStdString();
    EXPECT_EQ(FindId<QProgressBar>(dlg.get(), 1059)->value(), 0) << "nothing achieved";
  }
  // A proxy nobody answers on: the proxy's failure, not "not found".
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::FdProxyType, ToStored(ProxyKind::Socks5));
  store.WriteString(Key::FdProxyServer, "127.0.0.1");
  store.WriteInt(Key::FdProxyPort, FreeLoopbackPort());
  {
    auto dlg = Lookup();
    EXPECT_FALSE(dlg->Succeeded());
    EXPECT_TRUE(dlg->LogText().contains("Proxy error")) << dlg->LogText().toStdString();
    EXPECT_FALSE(dlg->LogText().contains("not found")) << dlg->LogText().toStdString();
    EXPECT_EQ(FindId<QProgressBar>(dlg.get(), 1059)->value(), 0);
    // Lookup can run again, for example after the options changed.
    EXPECT_TRUE(FindId<QPushButton>(dlg.get(), 1049)->isEnabled());
  }
}

TEST_F(DiscDialogs, AutoRequestClosesTheDialogEitherWay) {
  SettingsStore::Instance().WriteInt(Key::AutoRequestFreeDB, 1);
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.AddEntry("rock", id_, entry_);
  UseServer(server.Port());
  for (bool found : {true, false}) {
    server.SetQueryAnswer(found ? "200 rock " + id_ + " A / B\r\n" : "202 No match\r\n");
    FreeDBDlg dlg(info_);
    dlg.show();
    ASSERT_TRUE(RunEventsUntil([&] { return !dlg.isVisible(); }, 20000));
    EXPECT_EQ(dlg.result(), found ? QDialog::Accepted : QDialog::Rejected);
  }
}

TEST_F(DiscDialogs, CancelDuringASlowAnswerEndsAtOnce) {
  CddbTestServer server(CddbTestServer::Mode::Line);
  server.SetSilent(true);
  UseServer(server.Port());
  FreeDBDlg dlg(info_);
  dlg.show();
  // The window keeps serving events while the lookup waits for the server.
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(10);
  ASSERT_TRUE(RunEventsUntil([&] { return server.Connections() > 0 && ticks > 3; }, 10000));
  FindId<QPushButton>(&dlg, 2)->click();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_FALSE(dlg.Succeeded());
}

}  // namespace
