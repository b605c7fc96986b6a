// The window on Qt's offscreen platform: commands from the menu, the toolbar and the context
// menu, the format group, placement, check marks, a rip through the virtual drive with its
// progress dialog, a disc arrival, and the language menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "drive/drive_claim.h"
#include "drive/drive_context.h"
#include "drive/virtual/virtual_drive.h"
#include "encoders/output_format.h"
#include "metadata/cover_store.h"
#include "metadata/current_disc.h"
#include "player/playback.h"
#include "player/player_test_support.h"
#include "settings/settings_store.h"
#include "support/accuraterip_server.h"
#include "support/rip_settings.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"
#include "ui/about_credits.h"
#include "ui/album_header.h"
#include "ui/main_frame.h"
#include "ui/progress_dlg.h"
#include "ui/track_list.h"

namespace {

// Dialogs that record their opening and confirm or not as told.
class RecordingDialogs : public DialogFactory {
 public:
  bool RunOptions(QWidget*) override {
    opened << "options";
    return false;
  }
  bool RunEditDiscInfo(QWidget*, DiscInfo&) override {
    opened << "edit";
    return false;
  }
  bool RunFreeDbLookup(QWidget*, DiscInfo&) override {
    opened << "freedb";
    return false;
  }
  QStringList opened;
};

// Receives what the window opens in the browser or the file manager.
class UrlSink : public QObject {
  Q_OBJECT
 public:
  QStringList urls;
 public slots:
  void Open(const QUrl& url) { urls << url.toString(); }
};

// The track the player plays now; -1 when none plays.
int PlayingTrack() {
  int track = -1;
  uint32_t position = 0, total = 0;
  return PlaybackProgress(track, position, total) ? track : -1;
}

// The Language menu's entry of that name; null when the menu has none.
QAction* LanguageEntry(CMainFrame& frame, const QString& name) {
  for (QAction* action : frame.findChildren<QAction*>()) {
    if (action->text() == name) return action;
  }
  return nullptr;
}

// Answers every message box the window shows, keeping its text.
class MessageBoxes {
 public:
  MessageBoxes() {
    QObject::connect(&tick_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts << box->text();
        box->done(QMessageBox::Ok);
      }
    });
    tick_.start(10);
  }
  QStringList texts;

 private:
  QTimer tick_;
};

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeoutMs)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestRipSettings(out_.path());
    for (const char* scheme : {"https", "file"})
      QDesktopServices::setUrlHandler(scheme, &urls_, "Open");
    ASSERT_TRUE(disc_.Insert());
  }
  void TearDown() override {
    for (const char* scheme : {"https", "file"}) QDesktopServices::unsetUrlHandler(scheme);
  }

  std::unique_ptr<CMainFrame> MakeFrame() {
    auto dialogs = std::make_unique<RecordingDialogs>();
    dialogs_ = dialogs.get();
    auto frame = std::make_unique<CMainFrame>(std::move(dialogs));
    frame->show();
    return frame;
  }

  QToolButton* ToolButtonFor(CMainFrame& frame, int id) {
    return qobject_cast<QToolButton*>(frame.ToolBar()->widgetForAction(frame.Action(id)));
  }

  TestApplication<QApplication> app_;
  TempConfig config_;
  QTemporaryDir out_;
  TestDisc disc_{
      {TestTrack(82, "One", "Band"), TestTrack(54, "Two", "Band"), TestTrack(40, "Three", "Band")},
      "Record",
      "Band"};
  RecordingDialogs* dialogs_ = nullptr;
  UrlSink urls_;
};

TEST_F(MainFrameTest, ShowsTheDiscsTracks) {
  auto frame = MakeFrame();
  TrackList* list = frame->Tracks();
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(list->item(0, 0)->text(), "01");
  EXPECT_EQ(list->item(0, 1)->text(), "Band");
  EXPECT_EQ(list->item(1, 2)->text(), "Two");
  EXPECT_EQ(list->item(0, 4)->text(), "00:01");
  EXPECT_EQ(list->horizontalHeaderItem(3)->text(), "Size (Mb)");
  EXPECT_TRUE(list->IsChecked(0)) << "AutoSelectAllTracks checks every row";
  EXPECT_EQ(list->columnWidth(0), 40);
  EXPECT_EQ(list->columnWidth(1), (list->viewport()->width() - 170) / 2);
}

TEST_F(MainFrameTest, MenuToolbarAndContextMenuReachTheSameAction) {
  auto frame = MakeFrame();
  QAction* refresh = frame->Action(11003);
  ASSERT_TRUE(refresh);
  EXPECT_TRUE(frame->ToolBar()->actions().contains(refresh));
  QMenu* context = frame->BuildContextMenu();
  EXPECT_TRUE(context->actions().contains(refresh));
  bool inMenuBar = false;
  for (QAction* menu : frame->menuBar()->actions())
    inMenuBar |= menu->menu()->actions().contains(refresh);
  EXPECT_TRUE(inMenuBar);
  delete context;

  // Options from the toolbar button and from the menu open the same dialog.
  QTest::mouseClick(ToolButtonFor(*frame, 11004), Qt::LeftButton);
  frame->Action(11004)->trigger();
  EXPECT_EQ(dialogs_->opened, (QStringList{"options", "options"}));
  frame->Action(11001)->trigger();
  EXPECT_EQ(dialogs_->opened.last(), "freedb");
  frame->Action(11018)->trigger();
  EXPECT_EQ(dialogs_->opened.last(), "edit");
  frame->Action(11026)->trigger();
  ASSERT_EQ(urls_.urls.size(), 1);
  EXPECT_EQ(urls_.urls[0], "https://korvane.org/contactus.php?version=2-5-5&platform=desktop");
}

TEST_F(MainFrameTest, FormatGroupStoresTheChoiceAndChangesTheFormatIcon) {
  auto frame = MakeFrame();
  const QImage before = frame->FormatButtonIcon().pixmap(32, 32).toImage();
  ASSERT_FALSE(before.isNull());
  frame->Action(ToStored(FormatId::Ogg))->trigger();
  EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::FormatSelected), 11011)
      << "stored as OGG's command";
  EXPECT_TRUE(frame->Action(ToStored(FormatId::Ogg))->isChecked());
  EXPECT_FALSE(frame->Action(ToStored(FormatId::Wav))->isChecked());
  EXPECT_NE(frame->FormatButtonIcon().pixmap(32, 32).toImage(), before);
}

// The Format menu and the toolbar's drop-down offer only what the disc allows.
TEST_F(MainFrameTest, FormatsTheDiscDoesNotAllowAreGreyedOut) {
  auto frame = MakeFrame();
  const auto enabled = [&](FormatId format) {
    return frame->Action(ToStored(format))->isEnabled();
  };
  EXPECT_FALSE(enabled(FormatId::Iso)) << "no ISO image of an audio CD";
  for (FormatId format : {FormatId::Mp3, FormatId::Wav, FormatId::CueBin})
    EXPECT_TRUE(enabled(format)) << ToStored(format);
  QToolButton* button = frame->findChild<QToolButton*>("formatButton");
  EXPECT_TRUE(button->menu()->actions().contains(frame->Action(ToStored(FormatId::Iso))));

  DiscImages data;
  QString error;
  ASSERT_TRUE(
      VirtualDriveHost::Instance().Drive(0).LoadCue(data.Write({{"MODE1/2048", 20}}), &error));
  ASSERT_TRUE(WaitUntil([&] { return enabled(FormatId::Iso); }));
  EXPECT_TRUE(enabled(FormatId::CueBin));
  EXPECT_FALSE(enabled(FormatId::Wav));
  EXPECT_TRUE(frame->Action(ToStored(FormatId::Iso))->isChecked()) << "the first it allows";
}

// What a rip that writes nothing, or not everything, says in the window: one message each.
TEST_F(MainFrameTest, ARipThatWritesNothingSaysWhy) {
  auto frame = MakeFrame();
  MessageBoxes boxes;
  {
    const DriveClaim tray(DriveUse::Tray);  // another use holds the drive
    frame->Action(11002)->trigger();
  }
  ASSERT_EQ(boxes.texts.size(), 1) << boxes.texts.join(" | ").toStdString();
  EXPECT_TRUE(boxes.texts[0].startsWith("the drive is busy")) << boxes.texts[0].toStdString();

  boxes.texts.clear();
  frame->Action(11021)->trigger();  // nothing ticked
  frame->Action(11002)->trigger();
  EXPECT_EQ(boxes.texts, QStringList{"No track is ticked. Tick the tracks to rip first."});

  // An ISO image of this audio CD, chosen behind the greyed-out menu entry.
  boxes.texts.clear();
  frame->Action(11020)->trigger();
  QAction* iso = frame->Action(ToStored(FormatId::Iso));
  iso->setEnabled(true);
  iso->trigger();
  frame->Action(11002)->trigger();
  EXPECT_EQ(boxes.texts, QStringList{"This disc does not allow ISO. Formats this disc allows: "
                                     "MP3, AAC, OGG, WAV, WMA, FLAC, Opus, AAC (M4A), CUE/BIN"});

  // A folder that cannot be made: named once with the system's reason, for all three tracks.
  boxes.texts.clear();
  UseTestRipSettings(out_.path());
  frame->Action(ToStored(FormatId::Wav))->trigger();
  ASSERT_TRUE(WriteFileBytes(out_.filePath("Band"), "a file where the artist folder goes"));
  frame->Action(11002)->trigger();
  EXPECT_EQ(boxes.texts, QStringList{"These files could not be written:\nCan't create directory " +
                                     out_.filePath("Band/Record") + ": Not a directory"});
  EXPECT_EQ(FilesUnder(out_.path()), QStringList{"Band"});
}

// A track that fails names its reason, not only its path.
TEST_F(MainFrameTest, AFailedTrackNamesItsReason) {
  auto frame = MakeFrame();
  MessageBoxes boxes;
  const QString first = out_.filePath("Band/Record/01 - One.wav");
  ASSERT_TRUE(QDir().mkpath(first));  // a folder where the first track's file goes
  frame->Action(11021)->trigger();
  frame->Controller().SetChecked(0, true);
  frame->Action(11002)->trigger();
  ASSERT_EQ(boxes.texts.size(), 1);
  EXPECT_TRUE(boxes.texts[0].startsWith("These files could not be written:\n" + first + ": "))
      << boxes.texts[0].toStdString();
  EXPECT_GT(boxes.texts[0].size(),
            QString("These files could not be written:\n" + first + ": ").size())
      << "the reason follows the path";
}

// Without a browser or file manager the window says what it could not open.
TEST_F(MainFrameTest, APageThatCannotBeOpenedIsNamed) {
  for (const char* scheme : {"https", "file"}) QDesktopServices::unsetUrlHandler(scheme);
  auto frame = MakeFrame();
  MessageBoxes boxes;
  frame->Action(11026)->trigger();
  frame->Action(11038)->trigger();
  frame->Action(11027)->trigger();
  ASSERT_EQ(boxes.texts.size(), 3);
  EXPECT_EQ(boxes.texts[0],
            "Could not open https://korvane.org/contactus.php?version=2-5-5&platform=desktop");
  EXPECT_EQ(boxes.texts[1],
            "Could not open https://korvane.org/versioncheck.php?version=2-5-5&platform=desktop");
  EXPECT_TRUE(boxes.texts[2].startsWith("Could not open /")) << boxes.texts[2].toStdString();
  EXPECT_TRUE(boxes.texts[2].endsWith("/share/doc/korvane/manual/index.html"))
      << boxes.texts[2].toStdString();
}

// "Use multiple cd-roms" moves to the next drive after a rip: the drive selector shows it,
// and choosing the first drive again reads the first drive's disc.
TEST_F(MainFrameTest, TheDriveSelectorFollowsTheNextDriveAfterARip) {
  TestDisc other{
      {TestTrack(30, "Solo", "Someone"), TestTrack(30, "Duo", "Someone")}, "Other", "Someone"};
  QString error;
  VirtualDrive& second = VirtualDriveHost::Instance().AddDrive();
  ASSERT_TRUE(second.LoadCue(other.CuePath(), &error)) << error.toStdString();
  SettingsStore::Instance().WriteInt(Key::UseMultipleDevices, 1);
  auto frame = MakeFrame();
  QComboBox* drives = frame->DriveSelector();
  ASSERT_EQ(drives->count(), 2);
  ASSERT_EQ(drives->currentIndex(), 0);
  frame->Action(11021)->trigger();
  frame->Controller().SetChecked(2, true);
  frame->Action(11002)->trigger();
  EXPECT_EQ(drives->currentIndex(), 1);
  EXPECT_EQ(drives->currentText(), "[vcd1] KORVANE VIRTUAL CD");
  ASSERT_EQ(frame->Tracks()->rowCount(), 2);
  EXPECT_EQ(frame->Tracks()->item(1, 2)->text(), "Duo");

  drives->setCurrentIndex(0);  // the user's choice of the first drive again
  ASSERT_EQ(frame->Tracks()->rowCount(), 3);
  EXPECT_EQ(frame->Tracks()->item(1, 2)->text(), "Two");
}

// The Open button's drop-down closes when the folder browser opens; the folder chosen there
// is stored all the same.
TEST_F(MainFrameTest, TheOpenDropDownsBrowseStoresTheChosenFolder) {
  auto frame = MakeFrame();
  const QString chosen = out_.filePath("chosen");
  ASSERT_TRUE(QDir().mkpath(chosen));
  QToolButton* open = frame->findChild<QToolButton*>("openButton");
  QMenu* dropDown = open->menu();
  bool browsed = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      dropDown->hide();  // as the window system closes the pop-up for the dialog
      dialog->setDirectory(chosen);
      static_cast<QDialog*>(dialog)->accept();
      browsed = true;
    } else if (dropDown->isVisible() && !browsed) {
      auto* browse = dropDown->findChild<QToolButton*>("id4012");
      QMetaObject::invokeMethod(browse, &QToolButton::click, Qt::QueuedConnection);
    }
  });
  user.start(20);
  QTimer::singleShot(0, open, &QToolButton::showMenu);
  ASSERT_TRUE(WaitUntil([&] { return browsed && !dropDown->isVisible(); }, 10000));
  QString stored;
  SettingsStore::Instance().ReadOutputFolder(stored);
  EXPECT_EQ(stored, chosen);
}

// The about box credits exactly the libraries the program links, by their file names.
TEST_F(MainFrameTest, AboutCreditsExactlyTheLinkedLibraries) {
  const ProcessResult elf = RunProgram("readelf", {"-d", BinDir() + "/korvane"});
  ASSERT_EQ(elf.exitCode, 0) << elf.err.toStdString();
  QStringList linked;
  for (const QByteArray& line : elf.out.split('\n')) {
    const int open = line.indexOf("Shared library: [");
    if (open >= 0) linked << QString::fromLatin1(line.mid(open + 17).chopped(1));
  }
  ASSERT_FALSE(linked.isEmpty());
  const auto credited = [](const QString& library) {
    for (const AboutCredit& credit : AboutCredits()) {
      for (const char* stem : credit.libraries) {
        if (library.startsWith(QString::fromLatin1(stem) + ".so")) return true;
      }
    }
    return false;
  };
  // The C and C++ run-time is every program's, not an acknowledged component.
  // Libraries a credited one brings along, which a linker without --as-needed also names.
  const QStringList runtime = {"libc.so",     "libm.so",      "libstdc++.so",
                               "libgcc_s.so", "ld-linux",     "libQt6Svg.so",
                               "libGLX.so",   "libOpenGL.so", "libopus.so"};
  for (const QString& library : linked) {
    const bool isRuntime = std::any_of(runtime.begin(), runtime.end(),
                                       [&](const QString& r) { return library.startsWith(r); });
    EXPECT_TRUE(isRuntime || credited(library)) << "not credited: " << library.toStdString();
  }
  for (const AboutCredit& credit : AboutCredits()) {
    for (const char* stem : credit.libraries) {
      EXPECT_TRUE(
          std::any_of(linked.begin(), linked.end(),
                      [&](const QString& l) { return l.startsWith(QString(stem) + ".so"); }))
          << "credited but not linked: " << stem;
    }
  }

  auto frame = MakeFrame();
  MessageBoxes boxes;
  frame->Action(CommandId::AppAbout)->trigger();
  ASSERT_EQ(boxes.texts.size(), 1);
  for (const AboutCredit& credit : AboutCredits())
    EXPECT_TRUE(boxes.texts[0].contains(credit.Text().toHtmlEscaped())) << credit.textId;
  EXPECT_FALSE(boxes.texts[0].contains("FAAC"));
}

TEST_F(MainFrameTest, PlacementIsClampedAndRestored) {
  SettingsStore& store = SettingsStore::Instance();
  store.WriteInt(Key::WindowLeft, 90000);
  store.WriteInt(Key::WindowTop, -20);
  store.WriteInt(Key::WindowWidth, 300);
  store.WriteInt(Key::WindowHeight, 100);
  store.WriteInt(Key::ToolbarEnabled, 0);
  {
    auto frame = MakeFrame();
    EXPECT_EQ(frame->pos(), QPoint(0, 0));
    EXPECT_EQ(frame->width(), 430);
    EXPECT_EQ(frame->height(), 250);
    EXPECT_EQ(frame->minimumWidth(), 430);
    frame->Action(59392)->trigger();  // the toolbar comes back: 635 wide at least
    EXPECT_EQ(frame->width(), 635);
    EXPECT_EQ(frame->minimumWidth(), 635);
    EXPECT_EQ(store.ReadInt(Key::ToolbarEnabled), 1);
    frame->move(40, 30);
    frame->resize(700, 420);
    frame->close();
  }
  auto again = MakeFrame();
  EXPECT_EQ(again->pos(), QPoint(40, 30));
  EXPECT_EQ(again->size(), QSize(700, 420));
}

TEST_F(MainFrameTest, CheckMarksByClickSpaceAndTheSelectionCommands) {
  auto frame = MakeFrame();
  TrackList* list = frame->Tracks();
  frame->Action(11021)->trigger();
  EXPECT_FALSE(list->IsChecked(0) || list->IsChecked(1) || list->IsChecked(2));
  const QRect row1 = list->visualRect(list->model()->index(1, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, row1.center().y()));
  EXPECT_TRUE(list->IsChecked(1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(60, row1.center().y()));
  EXPECT_TRUE(list->IsChecked(1)) << "a click beyond the number column only selects";
  list->setCurrentCell(2, 0);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_TRUE(list->IsChecked(2));
  frame->Action(11022)->trigger();
  EXPECT_EQ((QList<bool>{list->IsChecked(0), list->IsChecked(1), list->IsChecked(2)}),
            (QList<bool>{true, false, false}));
  frame->Action(11020)->trigger();
  EXPECT_TRUE(list->IsChecked(0) && list->IsChecked(1) && list->IsChecked(2));
}

TEST_F(MainFrameTest, RipFromTheWindowWritesTheFilesWithTheProgressDialog) {
  auto frame = MakeFrame();
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(
      4.0);  // reports come while the dialog is open
  frame->Controller().SetChecked(1, false);
  QList<double> totals;
  QStringList files;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (ProgressDlg* dialog = frame->CurrentProgress()) {
      totals << dialog->TotalPercent();
      files << dialog->findChild<QLineEdit*>("id2024")->text();
    }
  });
  watch.start(10);
  frame->Action(11002)->trigger();
  watch.stop();

  const QString one = out_.filePath("Band/Record/01 - One.wav");
  const QString three = out_.filePath("Band/Record/03 - Three.wav");
  EXPECT_EQ(ReadFileBytes(one).size(), 44 + 82 * 2352);
  EXPECT_EQ(ReadFileBytes(three).size(), 44 + 40 * 2352);
  EXPECT_FALSE(QFileInfo::exists(out_.filePath("Band/Record/02 - Two.wav")));
  EXPECT_TRUE(files.contains(one) && files.contains(three));
  ASSERT_FALSE(totals.isEmpty());
  for (int i = 1; i < totals.size(); ++i)
    EXPECT_GE(totals[i], totals[i - 1]) << "the total only grows";
  // Sampled every 10 ms, the last figure may be the second track's first report (0 % of it).
  EXPECT_GE(totals.last(), 100.0 * 82 / (82 + 40)) << "the total reaches the first track's share";
  EXPECT_FALSE(frame->Tracks()->IsChecked(0)) << "ripped tracks are unticked";
  EXPECT_TRUE(frame->isVisible());
}

TEST_F(MainFrameTest, CancelEndsTheRipAndRemovesThePartialFile) {
  auto frame = MakeFrame();
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(1.0);
  bool clicked = false;
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    ProgressDlg* dialog = frame->CurrentProgress();
    if (!dialog || clicked) return;
    auto* bar = dialog->findChild<QProgressBar*>("id2018");
    if (bar->value() < 5) return;  // cancel once the track is under way
    QTest::mouseClick(dialog->findChild<QPushButton*>("id2"), Qt::LeftButton);
    clicked = true;
  });
  press.start(10);
  frame->Action(11002)->trigger();
  press.stop();
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(QFileInfo::exists(out_.filePath("Band/Record/01 - One.wav")));
  EXPECT_FALSE(QFileInfo::exists(out_.filePath("Band/Record/02 - Two.wav")));
  EXPECT_TRUE(frame->Tracks()->IsChecked(0)) << "a cancelled track stays ticked";
}

// Whenever the job's end comes (before the dialog exists, while it is open, or with the
// dialog made before the job starts), the dialog ends exactly once.
TEST_F(MainFrameTest, TheProgressDialogEndsOnceWheneverTheRipEnds) {
  auto frame = MakeFrame();
  enum class Moment { BeforeTheDialog, WhileItIsOpen, DialogBeforeTheStart };
  for (const Moment moment :
       {Moment::BeforeTheDialog, Moment::WhileItIsOpen, Moment::DialogBeforeTheStart}) {
    SCOPED_TRACE(int(moment));
    RipJob job;
    RipRequest request;
    request.device = DriveContext::Instance().device;
    request.format = CreateOutputFormat(FormatId::Wav);
    request.tracks = {2};
    request.naming.outputFolder = out_.path();
    std::unique_ptr<ProgressDlg> dialog;
    int ends = 0;
    const auto makeDialog = [&] {
      dialog = std::make_unique<ProgressDlg>(
          job, nullptr, [] {}, [](const QString&) {});
      QObject::connect(dialog.get(), &QDialog::finished, [&] { ++ends; });
      dialog->open();
    };
    if (moment == Moment::DialogBeforeTheStart) makeDialog();
    ASSERT_TRUE(job.Start(request));
    if (moment == Moment::BeforeTheDialog) {
      QElapsedTimer timer;
      timer.start();
      while (!job.IsFinished() && timer.elapsed() < 10000) QApplication::processEvents();
      ASSERT_TRUE(job.IsFinished());
    }
    if (moment != Moment::DialogBeforeTheStart) makeDialog();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < (ends == 0 ? 10000 : 200)) QApplication::processEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(job.IsFinished());
  }
}

TEST_F(MainFrameTest, UnreadableSectorsAreCountedWhileTheRipRunsAndNamedPerTrackAtItsEnd) {
  auto frame = MakeFrame();
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  drive.SetReadThrottleX(2.0);  // the dialog stays a moment
  drive.FailSector(disc_.TrackStart(0) + 30, -1);
  frame->Controller().SetChecked(1, false);
  frame->Controller().SetChecked(2, false);
  QStringList counts;
  QStringList boxes;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (ProgressDlg* dialog = frame->CurrentProgress())
      counts << dialog->findChild<QLabel*>("id2029")->text();
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxes << box->text();
      box->accept();
    }
  });
  watch.start(10);
  frame->Action(11002)->trigger();
  watch.stop();
  drive.ClearFaults();
  drive.SetReadThrottleX(0);
  EXPECT_TRUE(counts.contains("0") && counts.contains("1")) << counts.join(' ').toStdString();
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_TRUE(boxes[0].startsWith("Track 1 had 1 unreadable sectors, written as silence:"))
      << boxes[0].toStdString();
  EXPECT_TRUE(boxes[0].endsWith(out_.filePath("Band/Record/01 - One.wav")));
  EXPECT_TRUE(frame->Tracks()->IsChecked(0)) << "a track with errors stays ticked";
}

// Verified against a loopback database that knows track 1, holds another pressing's
// checksum for track 2 and no entry for track 3: each verdict shows while the rip goes on,
// and the dialog stays at the end with the summary and the log.
TEST_F(MainFrameTest, TheProgressDialogShowsEachVerdictAsItComesAndTheSummaryAtTheEnd) {
  auto frame = MakeFrame();
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(1.0);  // a track reads in a second
  const std::optional<AccurateRipId> id = AccurateRipIdOf(*DriveContext::Instance().device);
  ASSERT_TRUE(id);
  constexpr int kHeader = 13, kEntry = 9;
  QByteArray answer = TrueDbarResponse(disc_, 3, id->Text(), 23);
  answer[kHeader + kEntry + 1] = char(answer[kHeader + kEntry + 1] ^ 0x5a);
  answer[kHeader + 2 * kEntry] = 0;  // confidence 0: no entry
  AccurateRipServer server;
  server.Serve(DbarPath(id->Text()), answer);
  SettingsStore::Instance().WriteInt(Key::ArVerify, 1);
  SettingsStore::Instance().WriteString(Key::ArServer, server.Url());

  QStringList events;  // the job's runs and verdicts, in the order they came
  QObject::connect(&frame->Controller(), &MainController::RipStarted, [&](RipJob* job) {
    QObject::connect(job, &RipJob::RunStarted,
                     [&](const RipRun& run) { events << QString("run %1").arg(run.trackNumber); });
    QObject::connect(job, &RipJob::TrackVerified, [&](int track, const TrackVerdict&) {
      events << QString("verdict %1").arg(track);
    });
  });
  QStringList shownWhileRipping;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    ProgressDlg* dialog = frame->CurrentProgress();
    if (!dialog || dialog->ShowsSummary()) return;
    const auto* list = dialog->findChild<QListWidget*>("id2030");
    for (int row = shownWhileRipping.size(); list->isVisible() && row < list->count(); ++row)
      shownWhileRipping << list->item(row)->text();
  });
  watch.start(10);
  frame->Action(11002)->trigger();
  watch.stop();

  const QStringList verdicts = {"Track 1: accurate (confidence 23)", "Track 2: inaccurate",
                                "Track 3: not in the database"};
  // The last track's verdict may come with the rip's end, before a sample sees it.
  ASSERT_FALSE(shownWhileRipping.isEmpty()) << "verdicts show while the rip runs";
  EXPECT_EQ(shownWhileRipping, verdicts.mid(0, shownWhileRipping.size()))
      << shownWhileRipping.join(" | ").toStdString();
  EXPECT_LT(events.indexOf("verdict 1"), events.indexOf("run 3"))
      << "track 1's verdict comes while the disc is still read: "
      << events.join(", ").toStdString();
  EXPECT_EQ(server.Requests().size(), 1) << "the database is asked once";

  ProgressDlg* dialog = frame->CurrentProgress();
  ASSERT_TRUE(dialog) << "a verified rip's dialog stays with its summary";
  ASSERT_TRUE(dialog->ShowsSummary());
  EXPECT_TRUE(dialog->isVisible());
  const auto* list = dialog->findChild<QListWidget*>("id2030");
  QStringList shownAtTheEnd;
  for (int row = 0; row < list->count(); ++row) shownAtTheEnd << list->item(row)->text();
  EXPECT_EQ(shownAtTheEnd, verdicts) << shownAtTheEnd.join(" | ").toStdString();
  EXPECT_EQ(dialog->findChild<QLabel*>("id2032")->text(),
            "1 of 3 tracks accurate, confidence 23\n1 of 3 tracks inaccurate\n"
            "1 of 3 tracks not in the database");

  auto* openLog = dialog->findChild<QPushButton*>("id2033");
  ASSERT_TRUE(openLog->isVisible() && openLog->isEnabled());
  QTest::mouseClick(openLog, Qt::LeftButton);
  const QString log = out_.filePath("Band/Record/Record.log");
  EXPECT_EQ(urls_.urls, QStringList{QUrl::fromLocalFile(log).toString()});
  EXPECT_TRUE(ReadFileBytes(log).contains("inaccurate")) << "the log says what the dialog says";

  auto* close = dialog->findChild<QPushButton*>("id2");
  EXPECT_EQ(close->text(), "Close");
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_TRUE(WaitUntil([&] { return !frame->CurrentProgress(); }));
}

// A database that fails or cannot be reached leaves every track "unavailable", says why,
// and the rip ends as it would without verification.
TEST_F(MainFrameTest, AFailingDatabaseShowsEachTrackUnavailable) {
  auto frame = MakeFrame();
  frame->Controller().SetChecked(1, false);
  AccurateRipServer failing;
  failing.SetStatus("500 Internal Server Error");
  QString closed;
  {
    AccurateRipServer gone;  // its port is closed once it is gone
    closed = gone.Url();
  }
  const struct {
    QString server;
    QString reason;
  } cases[] = {{failing.Url(), "the database answered with status 500"},
               {closed, "the database cannot be reached: "}};
  SettingsStore::Instance().WriteInt(Key::ArVerify, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server.toStdString());
    SettingsStore::Instance().WriteString(Key::ArServer, c.server);
    frame->Controller().SetChecked(0, true);
    frame->Controller().SetChecked(2, true);
    frame->Action(11002)->trigger();
    EXPECT_EQ(ReadFileBytes(out_.filePath("Band/Record/03 - Three.wav")).size(), 44 + 40 * 2352);
    ProgressDlg* dialog = frame->CurrentProgress();
    ASSERT_TRUE(dialog && dialog->ShowsSummary());
    const auto* list = dialog->findChild<QListWidget*>("id2030");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Track 1: unavailable");
    EXPECT_EQ(list->item(1)->text(), "Track 3: unavailable");
    const QString summary = dialog->findChild<QLabel*>("id2032")->text();
    EXPECT_TRUE(
        summary.startsWith("2 of 2 tracks not verified: AccurateRip unavailable (" + c.reason))
        << summary.toStdString();
    dialog->close();
    EXPECT_TRUE(WaitUntil([&] { return !frame->CurrentProgress(); }));
  }
}

// Cancel after a track was verified: the dialog ends as a cancelled rip's does, without the
// summary, and the track cut off leaves no file.
TEST_F(MainFrameTest, ACancelledVerifiedRipClosesTheDialog) {
  auto frame = MakeFrame();
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(1.0);
  const std::optional<AccurateRipId> id = AccurateRipIdOf(*DriveContext::Instance().device);
  ASSERT_TRUE(id);
  AccurateRipServer server;
  server.Serve(DbarPath(id->Text()), TrueDbarResponse(disc_, 3, id->Text(), 23));
  SettingsStore::Instance().WriteInt(Key::ArVerify, 1);
  SettingsStore::Instance().WriteString(Key::ArServer, server.Url());
  frame->Controller().SetChecked(2, false);
  bool clicked = false;
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    ProgressDlg* dialog = frame->CurrentProgress();
    if (!dialog || clicked || dialog->findChild<QListWidget*>("id2030")->count() == 0) return;
    QTest::mouseClick(dialog->findChild<QPushButton*>("id2"), Qt::LeftButton);
    clicked = true;
  });
  press.start(10);
  frame->Action(11002)->trigger();
  press.stop();
  ASSERT_TRUE(clicked) << "track 1's verdict showed before the end";
  EXPECT_TRUE(WaitUntil([&] { return !frame->CurrentProgress(); }));
  EXPECT_TRUE(QFileInfo::exists(out_.filePath("Band/Record/01 - One.wav")));
  EXPECT_FALSE(QFileInfo::exists(out_.filePath("Band/Record/02 - Two.wav")));
}

TEST_F(MainFrameTest, ADiscArrivalRefreshesTheList) {
  auto frame = MakeFrame();
  VirtualDrive& drive = VirtualDriveHost::Instance().Drive(0);
  drive.SetTrayOpen(true);
  ASSERT_TRUE(WaitUntil([&] { return frame->Tracks()->rowCount() == 0; }));
  TestDisc other{
      {TestTrack(30, "Solo", "Someone"), TestTrack(30, "Duo", "Someone")}, "Other", "Someone"};
  ASSERT_TRUE(other.Insert());
  ASSERT_TRUE(WaitUntil([&] { return frame->Tracks()->rowCount() == 2; }));
  EXPECT_EQ(frame->Tracks()->item(1, 2)->text(), "Duo");
}

// At the smallest width the drive selector stays in the toolbar, whole and usable, in
// English and in German; the button texts give way to it and come back with room.
TEST_F(MainFrameTest, TheDriveSelectorStaysVisibleAtTheMinimumWidth) {
  auto frame = MakeFrame();
  const auto expectSelectorShown = [&](const char* language) {
    QApplication::processEvents();
    QComboBox* drives = frame->DriveSelector();
    const QRect inToolbar(drives->mapTo(frame->ToolBar(), QPoint(0, 0)), drives->size());
    EXPECT_TRUE(drives->isVisible()) << language;
    EXPECT_GE(drives->width(), 170) << language;
    EXPECT_TRUE(frame->ToolBar()->rect().contains(inToolbar)) << language;
    EXPECT_EQ(drives->toolTip(), drives->currentText()) << language;
  };
  frame->resize(635, 400);
  expectSelectorShown("English");
  EXPECT_EQ(frame->ToolBar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon)
      << "English fits with texts";

  QAction* german = LanguageEntry(*frame, "Deutsch");
  ASSERT_TRUE(german);
  german->trigger();
  expectSelectorShown("German");
  frame->resize(1000, 400);
  QApplication::processEvents();
  EXPECT_EQ(frame->ToolBar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon)
      << "room again: the texts are back";
  EXPECT_EQ(frame->findChild<QToolButton*>("formatButton")->toolButtonStyle(),
            Qt::ToolButtonTextUnderIcon);
  frame->resize(635, 400);
  expectSelectorShown("German again");
  frame->findChild<QAction*>("id16001")->trigger();  // back to the built-in English
}

TEST_F(MainFrameTest, TheLanguageMenuSwitchesTheTexts) {
  auto frame = MakeFrame();
  EXPECT_EQ(frame->Action(11003)->text(), "Refresh Tracks");
  QAction* german = LanguageEntry(*frame, "Deutsch");
  ASSERT_TRUE(german) << "the German language file is listed";
  german->trigger();
  EXPECT_EQ(frame->Action(11003)->text(), "Titel aktualisieren");
  EXPECT_EQ(frame->menuBar()->actions()[6]->text(), "Hilfe");
  EXPECT_EQ(frame->Tracks()->horizontalHeaderItem(1)->text(), "Artist")
      << "the column headers are never translated";
  EXPECT_TRUE(SettingsStore::Instance().ReadText(Key::Language).endsWith("Deutsch.lng"));
  QAction* english = frame->findChild<QAction*>("id16001");
  ASSERT_TRUE(english);
  english->trigger();
  EXPECT_EQ(frame->Action(11003)->text(), "Refresh Tracks");
  EXPECT_TRUE(SettingsStore::Instance().ReadText(Key::Language).isEmpty());
}

// The header above the track list follows the disc information and the language; the View
// menu hides it for good.
TEST_F(MainFrameTest, TheAlbumHeaderFollowsTheDiscInformation) {
  auto frame = MakeFrame();
  auto* header = frame->findChild<AlbumHeader*>("albumHeader");
  ASSERT_TRUE(header);
  EXPECT_TRUE(header->isVisible());
  EXPECT_EQ(header->TitleText(), QString("Band \u2013 Record"));
  // The test disc has no year or genre: their placeholders are not shown as the album's.
  EXPECT_EQ(header->DetailsText(), QString("3 tracks \u00B7 00:02"));
  EXPECT_FALSE(header->HasCover());

  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  ASSERT_TRUE(StoreCover("aaaaaaaa-0000-4000-8000-000000000001", {png, "png"}));
  DiscInfo& disc = frame->Controller().Disc();
  disc.album = "Other";
  disc.year = "1999";
  disc.musicBrainz.release = "aaaaaaaa-0000-4000-8000-000000000001";
  frame->Controller().DiscInfoChanged();
  EXPECT_EQ(header->TitleText(), QString("Band \u2013 Other"));
  EXPECT_TRUE(header->DetailsText().startsWith("1999"));
  EXPECT_TRUE(header->HasCover());

  QAction* german = LanguageEntry(*frame, "Deutsch");
  ASSERT_TRUE(german);
  german->trigger();
  EXPECT_TRUE(header->DetailsText().contains("3 Titel")) << header->DetailsText().toStdString();
  frame->findChild<QAction*>("id16001")->trigger();

  frame->Action(CommandId::ShowAlbumHeader)->trigger();
  EXPECT_FALSE(header->isVisible());
  EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::AlbumHeaderEnabled), 0);
  auto second = MakeFrame();
  EXPECT_FALSE(second->findChild<AlbumHeader*>("albumHeader")->isVisible());
  second->Action(CommandId::ShowAlbumHeader)->trigger();
  EXPECT_TRUE(second->findChild<AlbumHeader*>("albumHeader")->isVisible());
}

TEST_F(MainFrameTest, TheAlbumHeaderOfAnUnknownDiscShowsOnlyTheTrackCount) {
  TestDisc plain{{TestTrack(75 * 61), TestTrack(75)}};
  ASSERT_TRUE(plain.Insert());
  auto frame = MakeFrame();
  auto* header = frame->findChild<AlbumHeader*>("albumHeader");
  EXPECT_TRUE(header->TitleText().isEmpty());
  EXPECT_EQ(header->DetailsText(), QString("2 tracks \u00B7 01:02"));
}

// The bottom panel's player buttons drive the player through the virtual drive; what plays
// goes to a sound file. A drive slowed to half speed keeps each track playing for a second
// or more, so a track only ends where a test waits for it.
class PlayerButtonsTest : public MainFrameTest {
 protected:
  void SetUp() override {
    MainFrameTest::SetUp();
    qputenv("KORVANE_AUDIO_DEVICE", sound_.DeviceName().toUtf8());
    frame_ = MakeFrame();
    VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(0.5);
  }
  void TearDown() override {
    frame_.reset();
    VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(0);
    qunsetenv("KORVANE_AUDIO_DEVICE");
    MainFrameTest::TearDown();
  }

  void Click(int controlId) {
    auto* button = frame_->findChild<QAbstractButton*>(QString("id%1").arg(controlId));
    ASSERT_TRUE(button) << controlId;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  // The row the window marks, the row the player control keeps and the track that plays agree.
  void ExpectPlaying(int row) {
    EXPECT_EQ(frame_->Tracks()->PlayingRow(), row);
    EXPECT_EQ(frame_->Player().PlayingRow(), row);
    EXPECT_EQ(PlayingTrack(), row);
  }

  SoundFile sound_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(PlayerButtonsTest, PlayPauseAndStop) {
  // Slower still: the first track plays for over a second once two reads' worth is in.
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(0.25);
  TrackList* list = frame_->Tracks();
  list->setCurrentCell(1, 0);
  Click(9202);
  ExpectPlaying(1);
  EXPECT_EQ(list->item(1, 2)->foreground().color(), QColor(0, 0, 200));
  EXPECT_EQ(list->item(1, 2)->background().color(), QColor(200, 200, 210));

  Click(9205);
  ExpectPlaying(0);
  Click(9203);
  EXPECT_TRUE(IsPaused());
  // Next while paused resumes the paused track, and the mark stays with it.
  Click(9206);
  EXPECT_FALSE(IsPaused());
  ExpectPlaying(0);
  // The sound device has taken some of the first track's audio (the file behind it fills
  // only as the device's periods complete, after the player's position moves).
  ASSERT_TRUE(WaitUntil([this] { return !sound_.Bytes().isEmpty(); }));

  Click(9204);
  ExpectPlaying(-1);
  EXPECT_EQ(list->item(0, 2)->background().style(), Qt::NoBrush);
  WaitForPlayersToEnd();
  QApplication::processEvents();  // the player's "PLAY_STOP" changes nothing more
  EXPECT_EQ(list->PlayingRow(), -1);
  const QByteArray heard = sound_.Bytes();
  EXPECT_FALSE(heard.isEmpty());
  EXPECT_TRUE(PlayedAudio(disc_.TrackAudio(0)).startsWith(heard))
      << "the first track was heard from its start";
}

TEST_F(PlayerButtonsTest, PreviousAndNextWrapAround) {
  ASSERT_EQ(frame_->Player().CurrentRow(), 0);
  const struct {
    int button;
    int row;
  } steps[] = {{9205, 2}, {9206, 0}, {9206, 1}, {9205, 0}, {9205, 2}, {9206, 0}};
  for (const auto& step : steps) {
    Click(step.button);
    ExpectPlaying(step.row);
  }
  Click(9204);
  ExpectPlaying(-1);
}

TEST_F(PlayerButtonsTest, AtATracksEndTheNextRowPlaysAndAStopClearsTheMark) {
  frame_->Tracks()->setCurrentCell(2, 0);
  Click(9202);
  ExpectPlaying(2);
  // The last track ends ("PLAY_NEXT"): the list wraps to the first row.
  ASSERT_TRUE(WaitUntil([&] { return frame_->Tracks()->PlayingRow() == 0; }));
  ExpectPlaying(0);
  // A stop from elsewhere (a refresh, a rip, the tray) reports "PLAY_STOP": the mark goes.
  StopPlayback();
  ASSERT_TRUE(WaitUntil([&] { return frame_->Tracks()->PlayingRow() == -1; }));
  EXPECT_EQ(frame_->Player().PlayingRow(), -1);
  EXPECT_EQ(PlayingTrack(), -1);
}

TEST_F(MainFrameTest, HideMainWindowHoldsForTheRipAndOpensTheNextRipHidden) {
  auto frame = MakeFrame();
  VirtualDriveHost::Instance().Drive(0).SetReadThrottleX(2.0);  // the dialog stays a moment
  const auto ripLastTrack = [&](const std::function<void(ProgressDlg&, QCheckBox&)>& atOpen) {
    frame->Action(11021)->trigger();
    frame->Controller().SetChecked(2, true);
    bool seen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      ProgressDlg* dialog = frame->CurrentProgress();
      if (!dialog || seen) return;
      seen = true;
      atOpen(*dialog, *dialog->findChild<QCheckBox*>("id2025"));
    });
    watch.start(5);
    frame->Action(11002)->trigger();
    EXPECT_TRUE(seen);
  };

  bool hiddenByTheSwitch = false;
  ripLastTrack([&](ProgressDlg&, QCheckBox& hide) {
    EXPECT_FALSE(hide.isChecked());
    EXPECT_TRUE(frame->isVisible());
    QTest::mouseClick(&hide, Qt::LeftButton);
    hiddenByTheSwitch = hide.isChecked() && !frame->isVisible();
  });
  EXPECT_TRUE(hiddenByTheSwitch);
  EXPECT_TRUE(frame->isVisible()) << "the window comes back after the rip";
  EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::MainWindowIsVisible), 0);

  bool openedHidden = false;
  ripLastTrack([&](ProgressDlg&, QCheckBox& hide) {
    openedHidden = hide.isChecked() && !frame->isVisible();
  });
  EXPECT_TRUE(openedHidden) << "the next rip's dialog opens checked and hides the window";
  EXPECT_TRUE(frame->isVisible());
}

TEST_F(MainFrameTest, HelpKeyOpensTheInstalledManual) {
  auto frame = MakeFrame();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  QTest::keyClick(frame.get(), Qt::Key_F1);
  ASSERT_EQ(urls_.urls.size(), 1);
  const QUrl manual(urls_.urls[0]);
  EXPECT_TRUE(manual.isLocalFile()) << urls_.urls[0].toStdString();
  EXPECT_TRUE(manual.path().endsWith("/share/doc/korvane/manual/index.html"))
      << urls_.urls[0].toStdString();
  EXPECT_TRUE(QFileInfo(manual.toLocalFile()).isFile());
  frame->Action(11027)->trigger();
  EXPECT_EQ(urls_.urls.value(1), urls_.urls[0]) << "the Help menu opens the same page";
}

}  // namespace

#include "main_frame_test.moc"
