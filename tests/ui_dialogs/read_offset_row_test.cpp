// The read offset on the options dialog's General page: shown for the current drive, found
// by Detect from a disc the loopback database knows, stored on OK.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "dialog_test_support.h"
#include "drive/cd_device.h"
#include "drive/drive_context.h"
#include "drive/read_offset.h"
#include "drive/virtual/virtual_drive.h"
#include "metadata/current_disc.h"
#include "support/accuraterip_server.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"
#include "ui/dialogs/options_dlg.h"

namespace {

class ReadOffsetRowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = disc.InsertForReading();
    ASSERT_TRUE(device);
    VirtualDriveHost::Instance().Drive(0).SetReadOffset(667);
  }
  void TearDown() override { VirtualDriveHost::Instance().Drive(0).SetReadOffset(0); }

  std::unique_ptr<OptionsDlg> OpenGeneral() {
    SettingsStore::Instance().WriteInt(Key::ActiveOptionsTab, 0);
    return std::make_unique<OptionsDlg>();
  }

  // Clicks Detect and waits for its result to show.
  QString Detect(OptionsDlg* dlg) {
    auto* status = FindId<QLabel>(dlg, 4029);
    auto* detect = FindId<QPushButton>(dlg, 4028);
    detect->click();
    EXPECT_FALSE(detect->isEnabled());
    QElapsedTimer waited;
    waited.start();
    while (!detect->isEnabled() && waited.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return status->text();
  }

  const bool app = (EnsureWidgetApp(), true);  // before the server's socket is made
  const TempConfig& config = FreshConfig();
  TestDisc disc{{TestTrack(60), TestTrack(45)}};
  CdDevice* device = nullptr;
  AccurateRipServer server;
};

TEST_F(ReadOffsetRowTest, DetectFindsTheOffsetAndOkStoresIt) {
  const QString id = AccurateRipIdOf(*device)->Text();
  server.Serve(DbarPath(id), TrueDbarResponse(disc, 2, id, 4));
  SettingsStore::Instance().WriteString(Key::ArServer, server.Url());
  ASSERT_TRUE(StoreReadOffset("KORVANE VIRTUAL CD", 12));

  auto dlg = OpenGeneral();
  auto* offset = FindId<QSpinBox>(dlg.get(), 4027);
  EXPECT_EQ(offset->value(), 12);
  EXPECT_EQ(Detect(dlg.get()),
            "Read offset found: +667 (2 tracks accurate, confidence 4). Press OK to keep it.");
  EXPECT_EQ(offset->value(), 667);
  EXPECT_EQ(StoredReadOffset("KORVANE VIRTUAL CD"), 12);  // not before OK
  dlg->accept();
  EXPECT_EQ(StoredReadOffset("KORVANE VIRTUAL CD"), 667);
  EXPECT_EQ(device->readOffset, 667);
}

TEST_F(ReadOffsetRowTest, ADiscTheDatabaseDoesNotKnowIsSaidSo) {
  SettingsStore::Instance().WriteString(Key::ArServer, server.Url());
  auto dlg = OpenGeneral();
  const QString status = Detect(dlg.get());
  EXPECT_TRUE(status.startsWith("The read offset could not be detected: disc "));
  EXPECT_TRUE(status.endsWith("is not in the AccurateRip database"));
  EXPECT_EQ(FindId<QSpinBox>(dlg.get(), 4027)->value(), 0);
}

}  // namespace
