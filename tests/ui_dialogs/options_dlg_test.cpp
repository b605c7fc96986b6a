// The options dialog on the offscreen platform: what each page shows of the settings file,
// what it writes and when.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "dialog_test_support.h"
#include "drive/disc_type.h"
#include "encoders/lossy_formats.h"
#include "encoders/wma_encoder.h"
#include "support/test_support.h"
#include "ui/dialogs/dialog_support.h"
#include "ui/dialogs/encoder_pages.h"
#include "ui/dialogs/options_dlg.h"

namespace {

class Options : public ::testing::Test {
 protected:
  void SetUp() override { EnsureWidgetApp(); }

  SettingsStore& Store() { return SettingsStore::Instance(); }
  // A dialog on one tab, as the commands open it.
  std::unique_ptr<OptionsDlg> Open(int tab, OptionsHooks hooks = {}) {
    Store().WriteInt(Key::ActiveOptionsTab, tab);
    return std::make_unique<OptionsDlg>(std::move(hooks));
  }
  std::unique_ptr<OptionsDlg> OpenOnFormat(FormatId format) {
    Store().WriteInt(Key::FormatSelected, ToStored(format));
    return Open(1);
  }

  const TempConfig& config_ = FreshConfig();
};

TEST_F(Options, OpensOnTheStoredTabAndMakesPagesWhenFirstShown) {
  const int pageIds[] = {4000, 4001, 9500, 9400};
  for (int tab = 0; tab < 4; ++tab) {
    auto dlg = Open(tab);
    EXPECT_EQ(dlg->findChild<QTabWidget*>()->currentIndex(), tab);
    for (int other = 0; other < 4; ++other) {
      EXPECT_EQ(FindId(dlg.get(), pageIds[other]) != nullptr, other == tab) << tab << " " << other;
    }
  }
  auto dlg = Open(0);
  dlg->findChild<QTabWidget*>()->setCurrentIndex(2);
  EXPECT_NE(FindId(dlg.get(), 9500), nullptr);
  // The dialog never writes the tab itself.
  dlg->accept();
  EXPECT_EQ(Store().ReadInt(Key::ActiveOptionsTab), 0);
  // A stored tab out of range opens the first one.
  EXPECT_EQ(Open(7)->findChild<QTabWidget*>()->currentIndex(), 0);
}

TEST_F(Options, Mp3TypedRatesFollowThe64To320Rule) {
  const struct {
    const char* typed;
    int stored;
  } cases[] = {{"20", 20},  {"0", 64}, {"999", 320}, {"-5", 320},
               {"abc", 64}, {"", 64},  {"320", 320}, {"1", 1}};
  for (const auto& c : cases) {
    Store().WriteInt(Key::Mp3IsVBR, 1);
    {
      auto dlg = OpenOnFormat(FormatId::Mp3);
      auto* min = FindId<QLineEdit>(dlg.get(), 6004);
      auto* max = FindId<QLineEdit>(dlg.get(), 6005);
      ASSERT_TRUE(min && max);
      EXPECT_TRUE(min->isEnabled());
      EXPECT_FALSE(FindId(dlg.get(), 6003)->isEnabled());
      Type(min, c.typed);
      Type(max, c.typed);
      EXPECT_EQ(min->text(), QString::number(c.stored)) << c.typed;
      EXPECT_EQ(FindId<QLabel>(dlg.get(), 6006)->text(), QString("%1 Kbps").arg(c.stored));
      dlg->reject();  // the settings page writes when the dialog goes, Cancel or not
    }
    EXPECT_EQ(Store().ReadInt(Key::Mp3MinBitRate), c.stored) << c.typed;
    EXPECT_EQ(Store().ReadInt(Key::Mp3MaxBitRate), c.stored) << c.typed;
  }
}

TEST_F(Options, Mp3PageStoresEveryControlAndTheNextRipTakesIt) {
  {
    auto dlg = OpenOnFormat(FormatId::Mp3);
    // Constant mode: the slider decides both rates.
    EXPECT_TRUE(FindId<QRadioButton>(dlg.get(), 6001)->isChecked());
    EXPECT_FALSE(FindId(dlg.get(), 6004)->isEnabled());
    FindId<QSlider>(dlg.get(), 6003)->setValue(8);
    EXPECT_EQ(FindId<QLabel>(dlg.get(), 6006)->text(), "320 Kbps");
    Choose(FindId<QComboBox>(dlg.get(), 6007), 3);
    FindId<QCheckBox>(dlg.get(), 6008)->click();
    FindId<QCheckBox>(dlg.get(), 6009)->click();
    dlg->accept();
  }
  const struct {
    const SettingKey& key;
    int value;
  } stored[] = {{Key::Mp3Quality, 8}, {Key::Mp3MinBitRate, 320}, {Key::Mp3MaxBitRate, 320},
                {Key::Mp3IsVBR, 0},   {Key::Mp3StereoMode, 3},   {Key::Mp3Copyrighted, 1},
                {Key::Mp3CRCs, 1}};
  for (const auto& s : stored) EXPECT_EQ(Store().ReadInt(s.key), s.value) << s.key.key;

  // The format object a rip makes reads what the page wrote.
  auto format = CreateOutputFormat(FormatId::Mp3);
  const Mp3Settings& next = static_cast<Mp3Format&>(*format).Settings();
  EXPECT_EQ(next.maxBitRate, 320);
  EXPECT_EQ(next.stereoMode, Mp3Settings::Mono);

  // Switching to variable mode keeps the rates and opens the edits.
  {
    auto dlg = OpenOnFormat(FormatId::Mp3);
    EXPECT_EQ(FindId<QSlider>(dlg.get(), 6003)->value(), 8);
    FindId<QRadioButton>(dlg.get(), 6002)->click();
    EXPECT_TRUE(FindId(dlg.get(), 6005)->isEnabled());
    Type(FindId<QLineEdit>(dlg.get(), 6004), "128");
  }
  EXPECT_EQ(Store().ReadInt(Key::Mp3IsVBR), 1);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MinBitRate), 128);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MaxBitRate), 320);
}

TEST_F(Options, OggOpensInQualityModeWhenTheRatesAreEqual) {
  const struct {
    int vbr, min, max;
    bool qualityMode;
  } cases[] = {
      {0, 192, 192, true}, {1, 192, 192, true}, {1, 128, 256, false}, {0, 128, 256, false}};
  for (const auto& c : cases) {
    Store().WriteInt(Key::OggVBR, c.vbr);
    Store().WriteInt(Key::OggMinBitRate, c.min);
    Store().WriteInt(Key::OggMaxBitRate, c.max);
    Store().WriteInt(Key::OggQuality, 3);
    {
      auto dlg = OpenOnFormat(FormatId::Ogg);
      EXPECT_EQ(FindId<QRadioButton>(dlg.get(), 7001)->isChecked(), c.qualityMode)
          << c.vbr << c.min << c.max;
      EXPECT_EQ(FindId(dlg.get(), 7003)->isEnabled(), c.qualityMode);
      EXPECT_EQ(FindId(dlg.get(), 7005)->isEnabled(), !c.qualityMode);
      EXPECT_EQ(FindId<QLabel>(dlg.get(), 7007)->text(), "0.4");
    }
    EXPECT_EQ(Store().ReadInt(Key::OggVBR), c.qualityMode ? 1 : 0);
  }
  {
    auto dlg = OpenOnFormat(FormatId::Ogg);  // managed mode from the last case
    Type(FindId<QLineEdit>(dlg.get(), 7005), "999");
    FindId<QRadioButton>(dlg.get(), 7001)->click();
    FindId<QSlider>(dlg.get(), 7003)->setValue(8);
    EXPECT_EQ(FindId<QLabel>(dlg.get(), 7007)->text(), "0.9");
  }
  EXPECT_EQ(Store().ReadInt(Key::OggNomBitRate), 320);
  EXPECT_EQ(Store().ReadInt(Key::OggVBR), 1);
  EXPECT_EQ(Store().ReadInt(Key::OggQuality), 8);
}

TEST_F(Options, AacStepsShowTheirRatesAndStore) {
  {
    auto dlg = OpenOnFormat(FormatId::Aac);
    auto* slider = FindId<QSlider>(dlg.get(), 5007);
    EXPECT_EQ(slider->maximum(), 6);
    for (int step = 0; step <= 6; ++step) {
      slider->setValue(step);
      AacSettings expected;
      expected.fquality = step;
      EXPECT_EQ(FindId<QLabel>(dlg.get(), 5011)->text(), expected.Label());
    }
    auto* version = FindId<QComboBox>(dlg.get(), 5012);
    EXPECT_EQ(version->itemText(0), "Mpeg 4");
    EXPECT_EQ(version->currentText(), "Mpeg 2");
    Choose(version, 0);
    slider->setValue(2);
  }
  EXPECT_EQ(Store().ReadInt(Key::AacQuality), 2);
  EXPECT_EQ(Store().ReadInt(Key::AacMpegVersion), 0);
}

TEST_F(Options, FlacOpusAndM4aPagesShowTheStoredValuesAndStoreOnOkOnly) {
  Store().WriteInt(Key::FlacLevel, 3);
  Store().WriteInt(Key::OpusBitRate, 96);
  Store().WriteInt(Key::OpusMode, OpusSettings::ConstrainedVbr);
  Store().WriteInt(Key::M4aBitRate, 128);
  for (bool ok : {false, true}) {
    SCOPED_TRACE(ok);
    auto dlg = OpenOnFormat(FormatId::Flac);
    dlg->show();
    auto* flac = dlg->findChild<FlacSettingsDlg*>();
    ASSERT_TRUE(flac);
    auto* level = flac->findChild<QSlider*>();
    EXPECT_EQ(level->value(), 3);
    EXPECT_EQ(level->maximum(), 8);
    level->setValue(8);
    flac->findChild<QCheckBox*>()->setChecked(true);
    auto* list = FindId<QComboBox>(dlg.get(), 4007);
    Choose(list, list->findText("OPUS"));
    auto* opus = dlg->findChild<OpusSettingsDlg*>();
    ASSERT_TRUE(opus);
    const QList<QSpinBox*> spins = opus->findChildren<QSpinBox*>();
    ASSERT_EQ(spins.size(), 2);
    EXPECT_EQ(spins[0]->value(), 96);
    EXPECT_EQ(spins[1]->value(), 10);
    auto* mode = opus->findChild<QComboBox*>();
    EXPECT_EQ(mode->currentIndex(), int(OpusSettings::ConstrainedVbr));
    spins[0]->setValue(256);
    Choose(mode, OpusSettings::Cbr);
    spins[1]->setValue(5);
    Choose(list, list->findText("M4A"));
    auto* m4a = dlg->findChild<M4aSettingsDlg*>();
    ASSERT_TRUE(m4a);
    EXPECT_EQ(m4a->findChild<QSpinBox*>()->value(), 128);
    m4a->findChild<QSpinBox*>()->setValue(256);
    ok ? dlg->accept() : dlg->reject();
    Store().Load();
    EXPECT_EQ(Store().ReadInt(Key::FlacLevel), ok ? 8 : 3);
    EXPECT_EQ(Store().ReadInt(Key::FlacVerify), ok ? 1 : 0);
    EXPECT_EQ(Store().ReadInt(Key::OpusBitRate), ok ? 256 : 96);
    EXPECT_EQ(Store().ReadInt(Key::OpusMode), ok ? int(OpusSettings::Cbr) : 1);
    EXPECT_EQ(Store().ReadInt(Key::OpusComplexity), ok ? 5 : 10);
    EXPECT_EQ(Store().ReadInt(Key::M4aBitRate), ok ? 256 : 128);
  }
}

TEST_F(Options, WmaListsTheWritersFormats) {
  {
    auto dlg = OpenOnFormat(FormatId::Wma);  // no list given: this build's WMA writer's
    auto* list = FindId<QComboBox>(dlg.get(), 8001);
    const QStringList formats = ListWmaFormats();
    ASSERT_FALSE(formats.isEmpty());
    ASSERT_EQ(list->count(), formats.size());
    EXPECT_EQ(list->currentText(), Key::WmaFormatString.textDefault);
  }
  OptionsHooks none;
  none.wmaFormats = [] { return QStringList(); };
  {
    Store().WriteInt(Key::FormatSelected, ToStored(FormatId::Wma));
    auto dlg = Open(1, none);
    auto* list = FindId<QComboBox>(dlg.get(), 8001);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentText(), "Can't get WMA formats");
    Choose(list, 0);
  }
  EXPECT_EQ(Store().ReadText(Key::WmaFormatString), Key::WmaFormatString.textDefault);

  Store().WriteString(Key::WmaFormatString, "64 KBPS, 44 kHz");
  OptionsHooks hooks;
  hooks.wmaFormats = [] {
    return QStringList{"32 kbps, 22 kHz, mono CBR", "64 kbps, 44 kHz, stereo CBR",
                       "128 kbps, 44 kHz, stereo CBR"};
  };
  {
    Store().WriteInt(Key::FormatSelected, ToStored(FormatId::Wma));
    auto dlg = Open(1, hooks);
    auto* list = FindId<QComboBox>(dlg.get(), 8001);
    EXPECT_EQ(list->currentIndex(), 1);
    Choose(list, 2);
  }
  EXPECT_EQ(Store().ReadText(Key::WmaFormatString), "128 kbps, 44 kHz, stereo CBR");
}

TEST_F(Options, CancelKeepsAFormatSwitch) {
  QList<FormatId> announced;
  OptionsHooks hooks;
  hooks.formatChanged = [&](FormatId format) { announced.append(format); };
  Store().WriteInt(Key::FormatSelected, ToStored(FormatId::Mp3));
  auto dlg = Open(1, hooks);
  auto* list = FindId<QComboBox>(dlg.get(), 4007);
  EXPECT_EQ(list->currentText(), "MP3");
  Choose(list, 2);
  EXPECT_NE(FindId(dlg.get(), 7000), nullptr);
  Choose(list, 5);  // ISO has no settings page
  EXPECT_FALSE(FindId(dlg.get(), 7000)->isVisible());
  Choose(list, 2);
  dlg->reject();
  dlg.reset();
  EXPECT_EQ(announced, (QList<FormatId>{FormatId::Ogg, FormatId::Iso, FormatId::Ogg}));
  Store().Load();
  EXPECT_EQ(Store().formatSelected, ToStored(FormatId::Ogg));
}

TEST_F(Options, ReadSpeedIsStoredAsDefaultOrMaxInEveryLanguage) {
  for (bool german : {false, true}) {
    if (german) UseGerman();
    Store().WriteString(Key::CDReadSpeed, "12");
    auto dlg = Open(0);
    auto* speeds = FindId<QComboBox>(dlg.get(), 4024);
    ASSERT_EQ(speeds->count(), 3);
    EXPECT_EQ(speeds->currentText(), "12");
    EXPECT_EQ(speeds->itemText(0), german ? "Standard" : "Default");
    Choose(speeds, 0);
    EXPECT_EQ(Store().ReadText(Key::CDReadSpeed), "DEFAULT");
    Choose(speeds, 2);
    EXPECT_EQ(Store().ReadText(Key::CDReadSpeed), "MAX");
    Choose(speeds, 1);
    EXPECT_EQ(Store().ReadText(Key::CDReadSpeed), "12");
  }
}

TEST_F(Options, DetectSpeedsListsTheDrivesSpeedsAndKeepsTheChoice) {
  QList<int> reported{4, 8, 24};
  OptionsHooks hooks;
  hooks.detectSpeeds = [&](QList<int>& factors) {
    factors = reported;
    return true;
  };
  Store().WriteString(Key::CDReadSpeed, "MAX");
  auto dlg = Open(0, hooks);
  auto* speeds = FindId<QComboBox>(dlg.get(), 4024);
  FindId<QPushButton>(dlg.get(), 4025)->click();
  ASSERT_EQ(speeds->count(), 5);
  EXPECT_EQ(speeds->itemText(3), "24");
  EXPECT_EQ(speeds->currentIndex(), 4);

  Store().WriteString(Key::CDReadSpeed, "8");
  FindId<QPushButton>(dlg.get(), 4025)->click();
  EXPECT_EQ(speeds->currentText(), "8");

  reported.clear();  // a drive that reports none leaves "Default" alone
  FindId<QPushButton>(dlg.get(), 4025)->click();
  EXPECT_EQ(speeds->count(), 1);
  EXPECT_EQ(speeds->currentIndex(), 0);
}

TEST_F(Options, GeneralPageWritesOnOkOnly) {
  int rebuilds = 0;
  OptionsHooks hooks;
  hooks.rebuildDriveList = [&] { ++rebuilds; };
  const QString folder = config_.File("music");
  for (bool ok : {false, true}) {
    auto dlg = Open(0, hooks);
    auto* names = FindId<QComboBox>(dlg.get(), 4020);
    auto* advanced = FindId<QLineEdit>(dlg.get(), 4021);
    EXPECT_EQ(names->currentIndex(), 0);
    EXPECT_FALSE(advanced->isEnabled());
    Choose(names, 3);
    EXPECT_TRUE(advanced->isEnabled());
    advanced->setText("%N %T");
    FindId<QRadioButton>(dlg.get(), 4003)->click();
    FindId<QLineEdit>(dlg.get(), 4004)->setText(folder);
    FindId<QCheckBox>(dlg.get(), 4005)->setChecked(false);
    ok ? dlg->accept() : dlg->reject();
    Store().Load();
    QString storedFolder;
    Store().ReadOutputFolder(storedFolder);
    EXPECT_EQ(Store().ReadInt(Key::FileNameFormat), ok ? 40150 : 4013);
    EXPECT_EQ(Store().ReadText(Key::AdvancedFileFormat), ok ? "%N %T" : "%A - %N - %T");
    EXPECT_EQ(Store().accessMethod, ok ? 4003 : 4002);
    EXPECT_EQ(Store().subDirArtist, ok ? 0 : 1);
    EXPECT_EQ(storedFolder == folder, ok);
    EXPECT_EQ(rebuilds, ok ? 1 : 0);
  }
  // An unknown stored format selects nothing.
  Store().WriteInt(Key::FileNameFormat, 4999);
  auto dlg = Open(0);
  EXPECT_EQ(FindId<QComboBox>(dlg.get(), 4020)->currentIndex(), -1);
  EXPECT_FALSE(FindId(dlg.get(), 4021)->isEnabled());
}

TEST_F(Options, KeywordHelpNamesEachKeyword) {
  EXPECT_EQ(
      KeywordHelpText(),
      "\nYou can use combination of the following keywords to specify your own file format:\n\n"
      "\t%T - Track Title\n\n\t%A - Artist\n\n\t%L - Album\n\n\t%Y - Year\n\n\t%N - Track#");
}

TEST_F(Options, FreeDbPageStoresOnOkInItsOrder) {
  Store().WriteString(Key::FdPassword, "old");
  for (bool ok : {false, true}) {
    auto dlg = Open(2);
    auto* password = FindId<QLineEdit>(dlg.get(), 1056);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->text(), "old");
    // Direct connection: the proxy fields are read-only until a proxy is chosen.
    EXPECT_TRUE(FindId<QLineEdit>(dlg.get(), 1046)->isReadOnly());
    EXPECT_TRUE(FindId<QLineEdit>(dlg.get(), 1073)->isReadOnly());
    FindId<QRadioButton>(dlg.get(), 1054)->click();
    EXPECT_FALSE(FindId<QLineEdit>(dlg.get(), 1046)->isReadOnly());
    FindId<QRadioButton>(dlg.get(), 1069)->click();
    EXPECT_FALSE(FindId<QLineEdit>(dlg.get(), 1073)->isReadOnly());
    EXPECT_TRUE(FindId<QLineEdit>(dlg.get(), 1071)->isReadOnly());
    const struct {
      int id;
      const char* text;
    } typed[] = {{1057, "cddb.example.org"},
                 {1073, "8080"},
                 {1046, "proxy.example.org"},
                 {1047, "1080"},
                 {1048, "user"},
                 {1056, "secret"},
                 {1074, "me@example.org"}};
    for (const auto& t : typed) FindId<QLineEdit>(dlg.get(), t.id)->setText(t.text);
    ok ? dlg->accept() : dlg->reject();
  }
  const struct {
    const SettingKey& key;
    const char* value;
  } stored[] = {{Key::FdServer, "cddb.example.org"}, {Key::FdTCPPort, "8880"},
                {Key::FdHTTPPort, "8080"},           {Key::FdAccessMethod, "1069"},
                {Key::FdProxyType, "1054"},          {Key::FdProxyServer, "proxy.example.org"},
                {Key::FdProxyPort, "1080"},          {Key::FdUserName, "user"},
                {Key::FdPassword, "secret"},         {Key::FdEmail, "me@example.org"}};
  for (const auto& s : stored) {
    QString value;
    Store().ReadString(s.key.section, s.key.key, "", value);
    EXPECT_EQ(value, s.value) << s.key.key;
  }
}

TEST_F(Options, AutomationSwitchesAreWrittenAtOnce) {
  const struct {
    int id;
    const SettingKey& key;
  } switches[] = {{9408, Key::AutoSelectAllTracks},  {9402, Key::AutoRequestFreeDB},
                  {9403, Key::AutoStartRipping},     {9404, Key::AutoEjectCD},
                  {9407, Key::AutoOpenOutputFolder}, {9409, Key::UseMultipleDevices}};
  auto dlg = Open(3);
  for (const auto& s : switches) {
    auto* box = FindId<QCheckBox>(dlg.get(), s.id);
    ASSERT_NE(box, nullptr) << s.id;
    EXPECT_EQ(box->isChecked(), s.key.intDefault != 0);
    box->click();
    EXPECT_EQ(Store().ReadInt(s.key), s.key.intDefault ? 0 : 1) << s.key.key;
  }
}

TEST_F(Options, GermanTextsShow) {
  UseGerman();
  auto dlg = Open(0);
  EXPECT_EQ(dlg->findChild<QTabWidget*>()->tabText(0), "Allgemein");
  EXPECT_EQ(dlg->findChild<QTabWidget*>()->tabText(3), "Automatisches Rippen");
  EXPECT_EQ(FindId<QPushButton>(dlg.get(), 2)->text(), UiText(901));
  EXPECT_NE(UiText(901), "Cancel");
}

}  // namespace
