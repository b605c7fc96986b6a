// The MusicBrainz lookup dialog against the tests' own web server and the virtual drive.
#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QTreeWidget>

#include "app/disc_lookup.h"
#include "dialog_test_support.h"
#include "loopback_peers.h"
#include "metadata/current_disc.h"
#include "metadata/disc_info.h"
#include "musicbrainz_answers.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"
#include "ui/dialogs/musicbrainz_dialog.h"
#include "web_test_server.h"

namespace {

using namespace MbAnswer;

class MusicBrainzDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(device_ = disc_.Insert(), nullptr);
    LoadDiscInformation(info_);
    discId_ = MusicBrainzDiscId(TocAddressesOf(*device_));
  }

  QByteArray Target() const {
    return "/ws/2/discid/" + discId_.toLatin1() +
           "?inc=artist-credits+recordings+labels+release-groups+genres&fmt=json";
  }

  QJsonObject Edition(const QString& id, const QString& title, const QString& country) const {
    QJsonArray tracks;
    for (int i = 1; i <= 3; ++i)
      tracks.append(Track(i, title + QString::number(i), id + "t", id + "r"));
    return Release({id,
                    title,
                    Credit({{"Band", "b"}}),
                    "1999",
                    country,
                    "L",
                    "C",
                    "",
                    "g",
                    {},
                    {Medium(1, "CD", {discId_}, tracks)}});
  }

  std::unique_ptr<MusicBrainzDlg> Open() {
    auto dlg = std::make_unique<MusicBrainzDlg>(
        info_, nullptr, MusicBrainzSettings{server_.Url(), server_.Url(), ""});
    dlg->show();
    EXPECT_TRUE(dlg->Start());
    return dlg;
  }

  struct WidgetApp {
    WidgetApp() { EnsureWidgetApp(); }
  } app_;
  const TempConfig& config_ = FreshConfig();
  WebTestServer server_;
  TestDisc disc_{{TestTrack(300), TestTrack(450), TestTrack(200)}};
  CdDevice* device_ = nullptr;
  DiscInfo info_;
  QString discId_;
};

TEST_F(MusicBrainzDialog, SeveralReleasesAreListedAndTheChosenOneIsTaken) {
  server_.Add(
      Target(),
      {200, DiscAnswer(discId_, {Edition("e1", "Album", "GB"), Edition("e2", "アルバム", "JP")})});
  const auto dlg = Open();
  QTreeWidget* list = dlg->ReleaseList();
  ASSERT_TRUE(RunEventsUntil([&] { return list->topLevelItemCount() == 2; }, 10000));
  EXPECT_TRUE(list->isVisible());
  EXPECT_EQ(list->topLevelItem(1)->text(0), "アルバム");
  EXPECT_EQ(list->topLevelItem(1)->text(3), "JP");
  EXPECT_EQ(list->topLevelItem(1)->text(8), "3");
  list->setCurrentItem(list->topLevelItem(1));
  emit list->itemDoubleClicked(list->topLevelItem(1), 0);
  ASSERT_TRUE(RunEventsUntil([&] { return dlg->result() == QDialog::Accepted; }, 10000));
  EXPECT_EQ(info_.album, "アルバム");
  EXPECT_EQ(info_.GetTrackTitle(2), "アルバム3");
  EXPECT_EQ(info_.musicBrainz.release, "e2");
}

TEST_F(MusicBrainzDialog, AnUnknownDiscShowsWhereToAddIt) {
  const auto dlg = Open();
  ASSERT_TRUE(RunEventsUntil([&] { return !dlg->SubmissionUrl().isEmpty(); }, 10000));
  EXPECT_TRUE(dlg->SubmissionUrl().startsWith(server_.Url() + "/cdtoc/attach?id=" + discId_));
  EXPECT_TRUE(dlg->StatusText().contains(dlg->SubmissionUrl()));
  EXPECT_EQ(dlg->result(), 0);
  EXPECT_EQ(info_.musicBrainz.release, "");
}

// The release is taken, but the dialog stays open to say why the disc cache does not hold it.
TEST_F(MusicBrainzDialog, ACacheThatCannotBeWrittenIsShownBeforeTheDialogCloses) {
  server_.Add(Target(), {200, DiscAnswer(discId_, {Edition("e1", "Album", "GB")})});
  ASSERT_TRUE(QDir().mkpath(config_.File("discs.ini.lock")));  // in the way of the cache's lock
  const auto dlg = Open();
  ASSERT_TRUE(RunEventsUntil(
      [&] { return dlg->StatusText().contains("the disc cache could not be written"); }, 10000));
  EXPECT_EQ(dlg->result(), 0);
  EXPECT_EQ(info_.album, "Album");
  QPushButton* ok = dlg->findChildren<QPushButton*>().first();  // the first button made
  ASSERT_TRUE(ok->isVisible() && ok->isEnabled());
  ok->click();
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

}  // namespace
