// The command table without widgets: which action each command reaches, the two commands
// with logic of their own, the web pages, and the window's geometry and progress figures.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include "app/command_table.h"
#include "app/output_folder_choice.h"
#include "app/window_layout.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace {

// Records each call by name.
class RecordingTarget : public CommandTarget {
 public:
  void LookUpDisc() override { calls << "LookUpDisc"; }
  void Rip() override { calls << "Rip"; }
  void RefreshTracks() override { calls << "RefreshTracks"; }
  void RunOptionsDialog() override {
    calls << "RunOptionsDialog";
    tabWhileOpen = SettingsStore::Instance().ReadInt(Key::ActiveOptionsTab);
  }
  void ShowAbout() override { calls << "ShowAbout"; }
  void CloseMainWindow() override { calls << "CloseMainWindow"; }
  bool RunEditDiscDialog() override {
    calls << "RunEditDiscDialog";
    return editConfirmed;
  }
  void DiscInfoEdited() override { calls << "DiscInfoEdited"; }
  int TrackRowCount() const override { return rows; }
  void SelectAll() override { calls << "SelectAll"; }
  void ClearAll() override { calls << "ClearAll"; }
  void InvertSelection() override { calls << "InvertSelection"; }
  void StopPlaying() override { calls << "StopPlaying"; }
  void ToggleTray() override { calls << "ToggleTray"; }
  void OpenOutputFolder() override { calls << "OpenOutputFolder"; }
  void OpenUrl(const QString& url) override { calls << "OpenUrl " + url; }
  void ShowInformation(const QString& text) override { calls << "ShowInformation " + text; }

  QStringList calls;
  int rows = 3;
  bool editConfirmed = true;
  int tabWhileOpen = -1;
};

class CommandTableTest : public ::testing::Test {
 protected:
  TestApplication<QCoreApplication> app_;
  TempConfig config_;
  RecordingTarget target_;
};

TEST_F(CommandTableTest, EachCommandReachesItsAction) {
  const struct {
    int id;
    QStringList calls;
  } cases[] = {
      {11001, {"LookUpDisc"}},
      {11002, {"Rip"}},
      {11003, {"RefreshTracks"}},
      {11004, {"RunOptionsDialog"}},
      {11005, {"ShowAbout"}},
      {11006, {"CloseMainWindow"}},
      {11007, {"RunOptionsDialog"}},
      {11018, {"RunEditDiscDialog", "DiscInfoEdited"}},
      {11020, {"SelectAll"}},
      {11021, {"ClearAll"}},
      {11022, {"InvertSelection"}},
      {11026, {"OpenUrl https://korvane.org/contactus.php?version=2-5-5&platform=desktop"}},
      {11028, {"OpenOutputFolder"}},
      {11033, {"StopPlaying"}},
      {11036, {"ToggleTray"}},
      {11037, {"OpenOutputFolder"}},
      {11038, {"OpenUrl https://korvane.org/versioncheck.php?version=2-5-5&platform=desktop"}},
  };
  for (const auto& c : cases) {
    target_.calls.clear();
    EXPECT_TRUE(ExecuteCommand(c.id, target_)) << c.id;
    EXPECT_EQ(target_.calls, c.calls) << c.id;
  }
  target_.calls.clear();
  ASSERT_TRUE(ExecuteCommand(11027, target_));
  ASSERT_EQ(target_.calls.size(), 1);
  EXPECT_TRUE(target_.calls[0].startsWith("OpenUrl ")) << "help opens the manual";
  EXPECT_TRUE(target_.calls[0].endsWith("index.html") || target_.calls[0].endsWith("/manual/"))
      << target_.calls[0].toStdString();
}

TEST_F(CommandTableTest, TheTableHasEighteenItemsAndUnknownIdsDoNothing) {
  QSet<int> ids;
  for (const CommandItem& item : CommandItems()) {
    ids.insert(item.id);
    EXPECT_NE(item.execute, nullptr) << item.id;
    EXPECT_GE(item.id, CommandId::First);
    EXPECT_LE(item.id, CommandId::Last);
    EXPECT_FALSE(item.Label().isEmpty());
  }
  EXPECT_EQ(CommandItems().size(), 18u);
  EXPECT_EQ(ids.size(), 18);
  for (int id : {11000, 11008, ToStored(FormatId::Mp3), 11040, 57664, 0}) {
    EXPECT_FALSE(ExecuteCommand(id, target_)) << id;
  }
  EXPECT_TRUE(target_.calls.isEmpty());
}

// A format's menu item is its command: one that shared a number with another command took
// that command's menu text and ran it (AAC (M4A) once showed "Edit Disc Info..").
TEST_F(CommandTableTest, FormatsShareNoNumberWithTheOtherCommands) {
  QSet<int> commands;
  for (const CommandItem& item : CommandItems()) commands.insert(item.id);
  for (const FormatCommand& format : FormatCommands()) {
    const int id = ToStored(format.format);
    EXPECT_FALSE(commands.contains(id)) << id;
    EXPECT_EQ(MenuTextId(id), 0u) << id;
    EXPECT_FALSE(ExecuteCommand(id, target_)) << id;
  }
}

TEST_F(CommandTableTest, TooltipsAreTheTextsWithTheSecondLineBelow) {
  EXPECT_EQ(FindCommand(11002)->Tooltip(), "Save selected tracks to the disc");
  EXPECT_EQ(
      FindCommand(11007)->Tooltip(),
      "Click button to customize format settings\nClick drop down menu to choose output format.");
  EXPECT_EQ(FindCommand(11003)->Label(), "Refresh");
  EXPECT_EQ(MenuTextId(11003), 904u) << "the menu says \"Refresh Tracks\"";
  EXPECT_EQ(MenuTextId(ToStored(FormatId::Aac)), 0u) << "format names are fixed";
}

TEST_F(CommandTableTest, FormatSettingsOpenOnTheFormatTabOnce) {
  SettingsStore::Instance().WriteInt(Key::ActiveOptionsTab, 3);
  ExecuteCommand(11007, target_);
  EXPECT_EQ(target_.tabWhileOpen, 1);
  ExecuteCommand(11004, target_);
  EXPECT_EQ(target_.tabWhileOpen, 0) << "the next Options opens on the first tab";
}

TEST_F(CommandTableTest, EditDiscInfoWithoutTracksAsksForADisc) {
  target_.rows = 0;
  ExecuteCommand(11018, target_);
  EXPECT_EQ(target_.calls, QStringList{"ShowInformation Please insert an audio compact disc"});
  target_.rows = 2;
  target_.editConfirmed = false;
  target_.calls.clear();
  ExecuteCommand(11018, target_);
  EXPECT_EQ(target_.calls, QStringList{"RunEditDiscDialog"}) << "a cancelled edit changes nothing";
}

TEST_F(CommandTableTest, OutputFolderPaneStoresAsOkDoes) {
  const struct {
    QString typed;
    QString stored;
  } cases[] = {
      {"/music/rips/", "/music/rips"},
      {"/music/rips//", "/music/rips"},
      {"/", "/"},
      {QString(300, 'a'), QString(259, 'a')},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE((OutputFolderChoice{c.typed, false, true}.Store()));
    const OutputFolderChoice back = OutputFolderChoice::Load();
    EXPECT_EQ(back.folder, c.stored);
    EXPECT_FALSE(back.forArtist);
    EXPECT_TRUE(back.forAlbum);
    EXPECT_EQ(SettingsStore::Instance().ReadInt(Key::SubDirArtist), 0) << "stored, not only cached";
  }
}

TEST(WindowLayoutTest, StoredPlacementIsClamped) {
  using WindowLayout::Rect;
  const WindowLayout::Size maxTracking{1940, 1100};
  const WindowLayout::Size screen{1920, 1080};
  const struct {
    Rect stored;
    Rect placed;
  } cases[] = {
      {{200, 150, 700, 500}, {200, 150, 700, 500}},
      {{-5, 100, 700, 500}, {0, 100, 700, 500}},         // negative x
      {{5000, 9000, 700, 500}, {0, 0, 700, 500}},        // far off
      {{1940, 1100, 700, 500}, {1940, 1100, 700, 500}},  // at the limit stays
      {{10, 10, 300, 100}, {10, 10, 430, 250}},          // too small
      {{10, 10, 2500, 1200}, {10, 10, 430, 250}},        // larger than the screen
      {{10, 10, 430, 250}, {10, 10, 430, 250}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowLayout::ClampPlacement(c.stored, maxTracking, screen), c.placed)
        << c.stored.x << "," << c.stored.y << " " << c.stored.width << "x" << c.stored.height;
  }
  EXPECT_EQ(WindowLayout::ClampPosition(-50, 1000), 0);
  EXPECT_EQ(WindowLayout::ClampPosition(1001, 1000), 0);
  EXPECT_EQ(WindowLayout::ClampPosition(640, 1000), 640);
}

TEST(WindowLayoutTest, MinimumSizesAndColumns) {
  EXPECT_EQ(WindowLayout::MinimumSize(true).width, 635);
  EXPECT_EQ(WindowLayout::MinimumSize(false).width, 430);
  EXPECT_EQ(WindowLayout::MinimumSize(false).height, 250);
  EXPECT_EQ(WindowLayout::WidthWithToolbarShown(500), 635);
  EXPECT_EQ(WindowLayout::WidthWithToolbarShown(900), 900);
  EXPECT_EQ(WindowLayout::ColumnWidths(630), (std::array<int, 5>{40, 230, 230, 65, 65}));
  EXPECT_EQ(WindowLayout::ColumnWidths(631), (std::array<int, 5>{40, 230, 230, 65, 65}));
  EXPECT_EQ(WindowLayout::ColumnWidths(100), (std::array<int, 5>{40, 0, 0, 65, 65}))
      << "never negative";
}

TEST(ProgressTextTest, PercentSpeedAndTotal) {
  EXPECT_EQ(ProgressText::Percent(5.3), "05.30 %");
  EXPECT_EQ(ProgressText::Percent(45), "45.00 %");
  EXPECT_EQ(ProgressText::Percent(9.999), "010.00 %") << "the test is on the value before rounding";
  EXPECT_EQ(ProgressText::Percent(100), "100.00 %");
  EXPECT_EQ(ProgressText::Percent(0), "00.00 %");
  EXPECT_EQ(ProgressText::Speed(2123, 177), "11.99x (2.07 Mb/Sec)");
  EXPECT_EQ(ProgressText::Speed(0, 177), "0.00x (0.00 Mb/Sec)");
  EXPECT_EQ(ProgressText::Speed(1385, 1385), "1.00x (1.35 Mb/Sec)");
  EXPECT_DOUBLE_EQ(ProgressText::TotalPercent(50, 100, 100, 400), 37.5);
  EXPECT_DOUBLE_EQ(ProgressText::TotalPercent(100, 100, 300, 400), 100);
  EXPECT_DOUBLE_EQ(ProgressText::TotalPercent(42, 0, 0, 0), 42) << "a disc image's own percent";
}

}  // namespace
