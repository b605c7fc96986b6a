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
#include <functional>

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

// The rate lists offer exactly the rates the encoder takes; a stored rate between them shows
// as the nearest one, and the lowest rate never goes above the highest.
TEST_F(Options, Mp3RatesAreChosenFromTheEncodersList) {
  Store().WriteInt(Key::Mp3IsVBR, 1);
  Store().WriteInt(Key::Mp3MinBitRate, 100);
  Store().WriteInt(Key::Mp3MaxBitRate, 999);
  {
    auto dlg = OpenOnFormat(FormatId::Mp3);
    auto* min = FindId<QComboBox>(dlg.get(), 6004);
    auto* max = FindId<QComboBox>(dlg.get(), 6005);
    ASSERT_TRUE(min && max);
    QStringList offered;
    for (int i = 0; i < min->count(); ++i) offered << min->itemText(i);
    EXPECT_EQ(offered.join(' '), "32 40 48 56 64 80 96 112 128 160 192 224 256 320");
    EXPECT_EQ(max->count(), min->count());
    EXPECT_EQ(min->currentText(), "96");
    EXPECT_EQ(max->currentText(), "320");
    EXPECT_EQ(FindId<QLabel>(dlg.get(), 6006)->text(), "320 Kbps");
    Choose(max, max->findText("80"));  // below the lowest: the lowest follows
    EXPECT_EQ(min->currentText(), "80");
    Choose(min, min->findText("256"));  // above the highest: the highest follows
    EXPECT_EQ(max->currentText(), "256");
    Choose(max, max->findText("320"));
    dlg->accept();
  }
  EXPECT_EQ(Store().ReadInt(Key::Mp3MinBitRate), 256);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MaxBitRate), 320);
}

// With variable bit rate the slider sets the encoder's quality and leaves the rates alone.
TEST_F(Options, Mp3SliderSetsTheQualityOfVariableBitRate) {
  Store().WriteInt(Key::Mp3IsVBR, 1);
  Store().WriteInt(Key::Mp3MinBitRate, 128);
  Store().WriteInt(Key::Mp3MaxBitRate, 320);
  {
    auto dlg = OpenOnFormat(FormatId::Mp3);
    auto* slider = FindId<QSlider>(dlg.get(), 6003);
    EXPECT_TRUE(slider->isEnabled());
    slider->setValue(5);
    EXPECT_EQ(FindId<QComboBox>(dlg.get(), 6004)->currentText(), "128");
    dlg->accept();
  }
  EXPECT_EQ(Store().ReadInt(Key::Mp3Quality), 5);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MinBitRate), 128);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MaxBitRate), 320);
  auto format = CreateOutputFormat(FormatId::Mp3);
  EXPECT_EQ(static_cast<Mp3Format&>(*format).Settings().VbrQuality(), 0);
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
    auto* min = FindId<QComboBox>(dlg.get(), 6004);
    Choose(min, min->findText("128"));
    dlg->accept();
  }
  EXPECT_EQ(Store().ReadInt(Key::Mp3IsVBR), 1);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MinBitRate), 128);
  EXPECT_EQ(Store().ReadInt(Key::Mp3MaxBitRate), 320);
}

// "Constant bitrate" (7001) is the bit-rate-managed mode, "VBR" 0; "Variable bitrate" (7002)
// the quality mode, "VBR" 1. The page opens in the stored mode, whatever the rates.
TEST_F(Options, OggOpensInTheStoredModeAndStoresTheChosenOne) {
  const struct {
    int vbr, min, max;
  } cases[] = {{0, 192, 192}, {1, 192, 192}, {1, 128, 256}, {0, 128, 256}};
  for (const auto& c : cases) {
    Store().WriteInt(Key::OggVBR, c.vbr);
    Store().WriteInt(Key::OggMinBitRate, c.min);
    Store().WriteInt(Key::OggMaxBitRate, c.max);
    Store().WriteInt(Key::OggQuality, 3);
    const bool qualityMode = c.vbr == 1;
    {
      auto dlg = OpenOnFormat(FormatId::Ogg);
      EXPECT_EQ(FindId<QRadioButton>(dlg.get(), 7001)->text(), "Constant bitrate");
      EXPECT_EQ(FindId<QRadioButton>(dlg.get(), 7002)->isChecked(), qualityMode)
          << c.vbr << c.min << c.max;
      EXPECT_EQ(FindId<QRadioButton>(dlg.get(), 7001)->isChecked(), !qualityMode);
      EXPECT_EQ(FindId(dlg.get(), 7003)->isEnabled(), qualityMode);
      EXPECT_EQ(FindId(dlg.get(), 7005)->isEnabled(), !qualityMode);
      EXPECT_EQ(FindId<QLabel>(dlg.get(), 7007)->text(), "0.4");
      dlg->reject();
    }
    EXPECT_EQ(Store().ReadInt(Key::OggVBR), c.vbr) << "shown, not stored";
  }
  {
    auto dlg = OpenOnFormat(FormatId::Ogg);  // managed mode from the last case
    Type(FindId<QLineEdit>(dlg.get(), 7005), "999");
    FindId<QRadioButton>(dlg.get(), 7002)->click();
    FindId<QSlider>(dlg.get(), 7003)->setValue(8);
    EXPECT_EQ(FindId<QLabel>(dlg.get(), 7007)->text(), "0.9");
    dlg->accept();
  }
  EXPECT_EQ(Store().ReadInt(Key::OggNomBitRate), 320);
  EXPECT_EQ(Store().ReadInt(Key::OggVBR), 1);
  EXPECT_EQ(Store().ReadInt(Key::OggQuality), 8);
  {
    auto dlg = OpenOnFormat(FormatId::Ogg);
    EXPECT_TRUE(FindId<QRadioButton>(dlg.get(), 7002)->isChecked()) << "as chosen";
    FindId<QRadioButton>(dlg.get(), 7001)->click();
    dlg->accept();
  }
  EXPECT_EQ(Store().ReadInt(Key::OggVBR), 0);
  EXPECT_TRUE(OpenOnFormat(FormatId::Ogg)->findChild<QRadioButton*>("id7001")->isChecked());
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
    dlg->accept();
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
    dlg->accept();
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
    dlg->accept();
  }
  EXPECT_EQ(Store().ReadText(Key::WmaFormatString), "128 kbps, 44 kHz, stereo CBR");
}

TEST_F(Options, CancelKeepsTheFormatOkStoresIt) {
  QList<FormatId> announced;
  OptionsHooks hooks;
  hooks.formatChanged = [&](FormatId format) { announced.append(format); };
  Store().WriteInt(Key::FormatSelected, ToStored(FormatId::Mp3));
  const auto chooseOggThenIsoThenOgg = [&](OptionsDlg& dlg) {
    auto* list = FindId<QComboBox>(&dlg, 4007);
    EXPECT_EQ(list->currentText(), "MP3");
    Choose(list, 2);
    EXPECT_NE(FindId(&dlg, 7000), nullptr);
    Choose(list, 5);  // ISO has no settings page
    EXPECT_FALSE(FindId(&dlg, 7000)->isVisible());
    Choose(list, 2);
  };
  {
    // Escape is Cancel too: the window's test presses it.
    auto dlg = Open(1, hooks);
    chooseOggThenIsoThenOgg(*dlg);
    FindId<QPushButton>(dlg.get(), 2)->click();
  }
  EXPECT_TRUE(announced.isEmpty());
  Store().Load();
  EXPECT_EQ(Store().formatSelected, ToStored(FormatId::Mp3));
  auto dlg = Open(1, hooks);
  chooseOggThenIsoThenOgg(*dlg);
  dlg->accept();
  EXPECT_EQ(announced, QList<FormatId>{FormatId::Ogg}) << "the window follows once, on OK";
  Store().Load();
  EXPECT_EQ(Store().formatSelected, ToStored(FormatId::Ogg));
}

TEST_F(Options, ReadSpeedIsStoredAsDefaultOrMaxInEveryLanguageOnOk) {
  const struct {
    int item;
    const char* stored;
  } choices[] = {{0, "DEFAULT"}, {2, "MAX"}, {1, "12"}};
  for (bool german : {false, true}) {
    if (german) UseGerman();
    for (const auto& choice : choices) {
      for (bool ok : {false, true}) {
        Store().WriteString(Key::CDReadSpeed, "12");
        auto dlg = Open(0);
        auto* speeds = FindId<QComboBox>(dlg.get(), 4024);
        ASSERT_EQ(speeds->count(), 3);
        EXPECT_EQ(speeds->currentText(), "12");
        EXPECT_EQ(speeds->itemText(0), german ? "Standard" : "Default");
        Choose(speeds, choice.item);
        ok ? dlg->accept() : dlg->reject();
        EXPECT_EQ(Store().ReadText(Key::CDReadSpeed), ok ? choice.stored : "12") << ok;
      }
    }
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

  Choose(speeds, 2);  // "8": a new detection keeps the choice the user made
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

// Every stored proxy type shows as its own radio and comes back unchanged on OK.
TEST_F(Options, EachProxyTypeShowsAndIsStoredAsItIs) {
  const struct {
    ProxyKind kind;
    const char* text;
  } kinds[] = {{ProxyKind::Direct, "Direct Connection"},
               {ProxyKind::Socks4, "Socks 4"},
               {ProxyKind::Socks4a, "Socks 4A"},
               {ProxyKind::Socks5, "Socks 5"},
               {ProxyKind::Http11, "HTTP 1.1"}};
  for (const auto& k : kinds) {
    Store().WriteInt(Key::FdProxyType, ToStored(k.kind));
    auto dlg = Open(2);
    auto* radio = FindId<QRadioButton>(dlg.get(), ToStored(k.kind));
    ASSERT_NE(radio, nullptr) << k.text;
    EXPECT_TRUE(radio->isChecked()) << k.text;
    EXPECT_EQ(radio->text(), k.text);
    dlg->accept();
    EXPECT_EQ(Store().ReadInt(Key::FdProxyType), ToStored(k.kind)) << k.text;
  }
}

TEST_F(Options, AutomationSwitchesAreStoredOnOk) {
  const struct {
    int id;
    const SettingKey& key;
  } switches[] = {{9408, Key::AutoSelectAllTracks},  {9402, Key::AutoRequestFreeDB},
                  {9403, Key::AutoStartRipping},     {9404, Key::AutoEjectCD},
                  {9407, Key::AutoOpenOutputFolder}, {9409, Key::UseMultipleDevices}};
  for (bool ok : {false, true}) {
    auto dlg = Open(3);
    for (const auto& s : switches) {
      auto* box = FindId<QCheckBox>(dlg.get(), s.id);
      ASSERT_NE(box, nullptr) << s.id;
      EXPECT_EQ(box->isChecked(), s.key.intDefault != 0);
      box->click();
    }
    ok ? dlg->accept() : dlg->reject();
    for (const auto& s : switches)
      EXPECT_EQ(Store().ReadInt(s.key), ok == (s.key.intDefault == 0) ? 1 : 0) << s.key.key;
  }
}

// Showing a page stores nothing: every page and every format's settings page, opened and
// cancelled, leave the settings file as it was, down to the byte. A fresh install keeps its
// MP3 rate of 256 kbit/s, which the slider shows, after OK too.
TEST_F(Options, OpeningAndCancellingChangesNothingOnAnyPage) {
  const QString ini = config_.File("korvane.ini");
  const auto openAndCancel = [&](const std::function<std::unique_ptr<OptionsDlg>()>& open,
                                 const char* what) {
    auto dlg = open();
    const QByteArray before = ReadFileBytes(ini);
    ASSERT_FALSE(before.isEmpty());
    dlg->show();
    dlg->reject();
    dlg.reset();
    EXPECT_EQ(ReadFileBytes(ini), before) << what;
  };
  for (int tab = 0; tab < OptionsDlg::kTabCount; ++tab)
    openAndCancel([&] { return Open(tab); }, QString("tab %1").arg(tab).toUtf8().constData());
  for (FormatId format : {FormatId::Mp3, FormatId::Ogg, FormatId::Aac, FormatId::Wma})
    openAndCancel([&] { return OpenOnFormat(format); }, FindFormat(format).name);

  for (bool ok : {false, true}) {
    auto dlg = OpenOnFormat(FormatId::Mp3);
    EXPECT_EQ(FindId<QSlider>(dlg.get(), 6003)->value(), 7);
    EXPECT_EQ(FindId<QLabel>(dlg.get(), 6006)->text(), "256 Kbps");
    ok ? dlg->accept() : dlg->reject();
    EXPECT_EQ(Store().ReadInt(Key::Mp3MinBitRate), 256) << ok;
    EXPECT_EQ(Store().ReadInt(Key::Mp3MaxBitRate), 256) << ok;
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
