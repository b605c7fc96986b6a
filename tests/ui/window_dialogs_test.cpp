// The dialogs as the window opens them, on Qt's offscreen platform: the options dialog on the
// stored tab, each page's values, the drive list, format and speeds it changes in the window;
// Edit Disc Info marking its row and the edited title reaching the next rip's file name and
// tags; the freedb lookup against a loopback CDDB server filling the track list.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "cddb_test_server.h"
#include "drive/virtual/virtual_drive.h"
#include "encoders/lossy_audio.h"
#include "loopback_peers.h"
#include "settings/settings_store.h"
#include "support/rip_settings.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"
#include "ui/main_frame.h"
#include "ui/track_list.h"

namespace {

template <class W = QWidget>
W* FindId(const QWidget* root, int id) {
  return root ? root->findChild<W*>(QStringLiteral("id%1").arg(id)) : nullptr;
}

// A choice of the user in a drop-down list.
void Choose(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// Plays the user at the modal dialogs the window opens: every 10 ms the step is given the
// dialog on top (or null) until it returns true. Past the time limit every modal dialog is
// cancelled, so a test that goes wrong fails instead of waiting for ever. A step must not open
// a dialog itself (a timer does not fire inside its own handler): it queues the click.
class User {
 public:
  explicit User(std::function<bool(QDialog* top)> step, int limitMs = 30000)
      : step_(std::move(step)), limitMs_(limitMs) {
    clock_.start();
    QObject::connect(&tick_, &QTimer::timeout, [this] { Tick(); });
    tick_.start(10);
  }
  bool Done() const { return done_; }

 private:
  void Tick() {
    auto* top = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!done_) done_ = step_(top);
    if (!done_ && top && clock_.elapsed() > limitMs_) top->reject();
  }

  std::function<bool(QDialog*)> step_;
  int limitMs_;
  bool done_ = false;
  QElapsedTimer clock_;
  QTimer tick_;
};

bool IsDialog(const QDialog* dialog, int id) {
  return dialog && dialog->objectName() == QStringLiteral("id%1").arg(id);
}

QStringList Entries(const QComboBox* list) {
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  return entries;
}

QImage FormatImage(const CMainFrame& frame) {
  return frame.FormatButtonIcon().pixmap(32, 32).toImage();
}

class WindowDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestRipSettings(out_.path());
    ASSERT_TRUE(disc_.Insert());
    frame_ = std::make_unique<CMainFrame>();  // the dialogs of this build
    frame_->show();
  }

  // The rows' texts of one column.
  QStringList Column(int column) const {
    QStringList texts;
    for (int row = 0; row < frame_->Tracks()->rowCount(); ++row)
      texts << frame_->Tracks()->item(row, column)->text();
    return texts;
  }

  TestApplication<QApplication> app_;
  TempConfig config_;
  QTemporaryDir out_;
  TestDisc disc_{
      {TestTrack(82, "One", "Band"), TestTrack(54, "Two", "Band"), TestTrack(40, "Three", "Band")},
      "Record",
      "Band"};
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(WindowDialogs, OptionsOpensOnTheStoredTabAndEveryPageStoresItsValues) {
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::ActiveOptionsTab, 2);
  const QImage wavImage = FormatImage(*frame_);
  int openedOn = -1;
  bool formatShownWhileOpen = true;
  User user([&](QDialog* top) {
    if (!IsDialog(top, 4010)) return false;
    auto* tabs = top->findChild<QTabWidget*>();
    openedOn = tabs->currentIndex();
    FindId<QLineEdit>(top, 1057)->setText("cddb.example.org");  // FreeDB, on OK
    tabs->setCurrentIndex(3);
    FindId<QCheckBox>(top, 9403)->click();  // Automated CD Ripping, on OK
    tabs->setCurrentIndex(1);
    Choose(FindId<QComboBox>(top, 4007), 2);  // Output Format: OGG, on OK
    formatShownWhileOpen = frame_->Action(11011)->isChecked() || FormatImage(*frame_) != wavImage;
    tabs->setCurrentIndex(0);
    Choose(FindId<QComboBox>(top, 4020), 1);  // General, on OK
    FindId<QLineEdit>(top, 4004)->setText(out_.filePath("elsewhere/"));
    FindId<QPushButton>(top, 1)->click();
    return true;
  });
  frame_->Action(11004)->trigger();
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(openedOn, 2);
  EXPECT_FALSE(formatShownWhileOpen) << "the window follows the chosen format on OK";
  EXPECT_TRUE(frame_->Action(11011)->isChecked());
  EXPECT_NE(FormatImage(*frame_), wavImage);
  EXPECT_EQ(store.ReadText(Key::FdServer), "cddb.example.org");
  EXPECT_EQ(store.ReadInt(Key::AutoStartRipping), 1);
  EXPECT_EQ(store.ReadInt(Key::FormatSelected), 11011);
  EXPECT_EQ(store.ReadInt(Key::FileNameFormat), 4014);
  EXPECT_EQ(store.ReadText(Key::OutputFolder), out_.filePath("elsewhere"))
      << "stored as the folder pane stores it";
  EXPECT_EQ(store.ReadInt(Key::ActiveOptionsTab), 2) << "the dialog itself never writes its tab";
}

TEST_F(WindowDialogs, CancelAndEscapeKeepTheFormatTheWindowShows) {
  for (bool escape : {false, true}) {
    User user([&](QDialog* top) {
      if (!IsDialog(top, 4010)) return false;
      top->findChild<QTabWidget*>()->setCurrentIndex(1);
      Choose(FindId<QComboBox>(top, 4007), 1);  // MP3
      if (escape)
        QTest::keyClick(top, Qt::Key_Escape);
      else
        FindId<QPushButton>(top, 2)->click();
      return true;
    });
    frame_->Action(11004)->trigger();
    ASSERT_TRUE(user.Done());
    EXPECT_FALSE(frame_->Action(11010)->isChecked()) << escape;
    EXPECT_TRUE(frame_->Action(11012)->isChecked()) << escape;
    EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::FormatSelected), 11012) << escape;
  }
}

// The Output Format list greys out what the disc does not allow, as the Format menu does.
TEST_F(WindowDialogs, TheFormatListGreysOutWhatTheDiscDoesNotAllow) {
  QList<bool> enabled;
  User user([&](QDialog* top) {
    if (!IsDialog(top, 4010)) return false;
    top->findChild<QTabWidget*>()->setCurrentIndex(1);
    auto* list = FindId<QComboBox>(top, 4007);
    const auto* items = qobject_cast<const QStandardItemModel*>(list->model());
    for (int i = 0; i < list->count(); ++i) enabled << items->item(i)->isEnabled();
    top->reject();
    return true;
  });
  frame_->Action(11004)->trigger();
  ASSERT_TRUE(user.Done());
  // AAC, MP3, OGG, WAV, WMA, ISO, BIN, FLAC, OPUS, M4A: no ISO image of an audio CD.
  EXPECT_EQ(enabled, (QList<bool>{true, true, true, true, true, false, true, true, true, true}));
}

TEST_F(WindowDialogs, AChangedAccessMethodRebuildsTheDriveListOnOk) {
  ASSERT_EQ(Entries(frame_->DriveSelector()), QStringList{"[vcd0] KORVANE VIRTUAL CD"});
  VirtualDriveHost::Instance().AddDrive();  // the window learns of it only from a rebuilt list
  for (bool ok : {false, true}) {
    User user([&](QDialog* top) {
      if (!IsDialog(top, 4010)) return false;
      top->findChild<QTabWidget*>()->setCurrentIndex(0);
      FindId<QAbstractButton>(top, 4003)->click();  // ASPI layer
      FindId<QPushButton>(top, ok ? 1 : 2)->click();
      return true;
    });
    frame_->Action(11004)->trigger();
    ASSERT_TRUE(user.Done());
    EXPECT_EQ(frame_->DriveSelector()->count(), ok ? 2 : 1) << (ok ? "OK" : "Cancel");
    EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::AccessMethod), ok ? 4003 : 4002);
  }
  EXPECT_EQ(frame_->DriveSelector()->itemText(1), "[vcd1] KORVANE VIRTUAL CD");
  EXPECT_EQ(frame_->Tracks()->rowCount(), 3) << "the selected drive's disc is read again";
}

TEST_F(WindowDialogs, DetectSpeedsAsksTheDriveInTheWindow) {
  VirtualDriveHost::Instance().Drive(0).SetAcceptedSpeedsKBps(
      {706, 1411, 2822, 4234});  // 4x, 8x, 16x, 24x
  SettingsStore::Instance().WriteString(Key::CDReadSpeed, "16");
  QStringList speeds;
  QString chosen;
  User user([&](QDialog* top) {
    if (!IsDialog(top, 4010)) return false;
    top->findChild<QTabWidget*>()->setCurrentIndex(0);
    FindId<QPushButton>(top, 4025)->click();
    speeds = Entries(FindId<QComboBox>(top, 4024));
    chosen = FindId<QComboBox>(top, 4024)->currentText();
    top->reject();
    return true;
  });
  frame_->Action(11004)->trigger();
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(speeds, (QStringList{"Default", "4", "8", "16", "24", "Maximal"}));
  EXPECT_EQ(chosen, "16");
}

TEST_F(WindowDialogs, EditDiscInfoMarksItsRowAndTheNextRipCarriesTheTitle) {
  TrackList* list = frame_->Tracks();
  const QBrush plain = list->item(1, 2)->background();
  QList<int> marked;
  QStringList titlesWhileOpen;
  User user([&](QDialog* top) {
    if (!IsDialog(top, 3000)) return false;
    marked << list->PlayingRow();
    FindId<QLineEdit>(top, 3001)->setText("Edited One");
    FindId<QPushButton>(top, 3008)->click();  // Next
    marked << list->PlayingRow();
    EXPECT_NE(list->item(1, 2)->background(), plain) << "the edited row is highlighted";
    titlesWhileOpen = Column(2);
    FindId<QPushButton>(top, 1)->click();
    return true;
  });
  frame_->Action(11018)->trigger();
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(marked, (QList<int>{0, 1}));
  EXPECT_EQ(titlesWhileOpen, (QStringList{"Edited One", "Two", "Three"}))
      << "the rows follow each stored track";
  EXPECT_EQ(list->PlayingRow(), -1);
  EXPECT_EQ(list->item(1, 2)->background(), plain) << "OK takes the mark away";
  EXPECT_EQ(Column(2), (QStringList{"Edited One", "Two", "Three"}));
  EXPECT_TRUE(frame_->Controller().DiscCached());

  frame_->Action(ToStored(FormatId::Mp3))->trigger();  // ffprobe reads its tags
  frame_->Action(11021)->trigger();                    // clear all
  frame_->Controller().SetChecked(0, true);
  frame_->Action(11002)->trigger();
  const QString file = out_.filePath("Band/Record/01 - Edited One.mp3");
  ASSERT_TRUE(QFileInfo::exists(file)) << "the file name carries the edited title";
  EXPECT_EQ(ProbeTags(file).value("title"), "Edited One");
  EXPECT_EQ(ProbeTags(file).value("album"), "Record");
}

TEST_F(WindowDialogs, EditDiscInfoStepsThroughTheRowsOfTheList) {
  frame_->Controller().Disc().trackTitles << "A fourth title the disc does not have";
  QList<int> marked;
  User user([&](QDialog* top) {
    if (!IsDialog(top, 3000)) return false;
    FindId<QPushButton>(top, 3009)->click();  // Prev on the first row shows the last row
    marked << frame_->Tracks()->PlayingRow();
    EXPECT_EQ(FindId<QLineEdit>(top, 3001)->text(), "Three");
    FindId<QPushButton>(top, 3008)->click();
    marked << frame_->Tracks()->PlayingRow();
    top->reject();  // closing the window ends it as OK does
    return true;
  });
  frame_->Action(11018)->trigger();
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(marked, (QList<int>{2, 0}));
}

class WindowLookup : public WindowDialogs {
 protected:
  void SetUp() override {
    WindowDialogs::SetUp();
    const QByteArray id = frame_->Controller().Disc().discId.toLower().toLatin1();
    server_.SetQueryAnswer("200 rock " + id + " Loop Artist / Loop Album\r\n");
    server_.AddEntry("rock", id,
                     "# xmcd\r\nDISCID=" + id +
                         "\r\nDTITLE=Loop Artist / Loop Album\r\nDYEAR=2024\r\n"
                         "DGENRE=Test Genre\r\nTTITLE0=First Song\r\nTTITLE1=Second "
                         "Song\r\nTTITLE2=Third Song\r\n"
                         "EXTD=\r\n");
    SettingsStore& store = SettingsStore::Instance();
    store.WriteString(Key::FdServer, "127.0.0.1");
    store.WriteInt(Key::FdTCPPort, server_.Port());
    store.WriteInt(Key::FdAccessMethod, ToStored(FreeDbAccess::Tcp));
  }

  CddbTestServer server_{CddbTestServer::Mode::Line};
};

TEST_F(WindowLookup, TheLookupFindsTheDiscAndApplyFillsTheTrackList) {
  User user([&](QDialog* top) {
    auto* button = FindId<QPushButton>(top, 1049);
    if (!IsDialog(top, 1000) || !button->isEnabled() || button->text() != "Apply") return false;
    button->click();
    return true;
  });
  frame_->Action(11001)->trigger();
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(Column(2), (QStringList{"First Song", "Second Song", "Third Song"}));
  EXPECT_EQ(Column(1), (QStringList{"Loop Artist", "Loop Artist", "Loop Artist"}));
  EXPECT_TRUE(frame_->Controller().DiscCached());
}

TEST_F(WindowLookup, OptionsFromTheLookupOpenOnTheFreeDbTabAndTheNextLookupUsesThem) {
  const quint16 port = server_.Port();
  SettingsStore::Instance().WriteInt(Key::FdTCPPort, FreeLoopbackPort());  // nobody answers there
  int optionsTab = -1;
  bool optionsDone = false;
  User user([&](QDialog* top) {
    if (IsDialog(top, 4010)) {
      optionsTab = top->findChild<QTabWidget*>()->currentIndex();
      FindId<QLineEdit>(top, 1071)->setText(QString::number(port));
      FindId<QPushButton>(top, 1)->click();
      optionsDone = true;
      return false;
    }
    auto* button = FindId<QPushButton>(top, 1049);
    if (!IsDialog(top, 1000) || !button->isEnabled()) return false;
    if (!optionsDone) {
      // Queued: the options dialog's own loop must not run inside this step.
      QMetaObject::invokeMethod(FindId<QPushButton>(top, 1002), &QPushButton::click,
                                Qt::QueuedConnection);
      return false;
    }
    button->click();  // Lookup again, then Apply
    return button->text() == "Apply" && !top->isVisible();
  });
  frame_->Action(11001)->trigger();
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(optionsTab, 2);
  EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::ActiveOptionsTab), 0);
  EXPECT_EQ(Column(2), (QStringList{"First Song", "Second Song", "Third Song"}));
}

}  // namespace
