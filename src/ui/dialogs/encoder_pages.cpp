#include "ui/dialogs/encoder_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "encoders/lossy_formats.h"
#include "encoders/wma_encoder.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "ui/dialogs/dialog_support.h"

namespace {

enum Text : unsigned {
  kConstant = 7010,
  kVariable = 7011,
  kMinRate = 7012,
  kMaxRate = 7013,
  kNomRate = 7014,
  kStereoMode = 7015,
  kCopyrighted = 7016,
  kCrcs = 7017,
  kLow = 7005,
  kHigh = 7006,
  kMpegVersion = 7007,
  kAacQuality = 7008,
  kCompressionLevel = 7030,
  kFast = 7031,
  kBest = 7032,
  kVerify = 7033,
  kBitRate = 7034,
  kMode = 7035,
  kVbr = 7036,
  kConstrainedVbr = 7037,
  kCbr = 7038,
  kComplexity = 7039,
};

template <class Format>
auto& SettingsOf(const std::unique_ptr<OutputFormat>& format) {
  return static_cast<Format&>(*format).Settings();
}

// A slider of positions 0..last between "Low" and "Hi".
QSlider* AddSlider(QBoxLayout* layout, int id, int last, int position) {
  auto* slider = WithId(new QSlider(Qt::Horizontal), id);
  slider->setRange(0, last);
  slider->setPageStep(1);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setValue(position);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(UiText(kLow)));
  row->addWidget(slider, 1);
  row->addWidget(new QLabel(UiText(kHigh)));
  layout->addLayout(row);
  return slider;
}

// A labelled bit-rate edit on row of grid; leaving it corrects the typed rate into value.
QLineEdit* AddRateEdit(QGridLayout* grid, int row, int labelId, unsigned text, int id, int& value) {
  grid->addWidget(WithId(new QLabel(UiText(text)), labelId), row, 0);
  auto* edit = WithId(new QLineEdit(QString::number(value)), id);
  edit->setMaximumWidth(80);
  grid->addWidget(edit, row, 1);
  grid->addWidget(new QLabel(QStringLiteral("Kbps")), row, 2);
  QObject::connect(edit, &QLineEdit::editingFinished, edit, [edit, &value] {
    value = CorrectedBitRate(edit->text());
    edit->setText(QString::number(value));
  });
  return edit;
}

// A labelled list of the bit rates the MP3 encoder takes, on row of grid; a choice of the
// user goes into value.
QComboBox* AddMp3RateList(QGridLayout* grid, int row, int labelId, unsigned text, int id,
                          int& value) {
  grid->addWidget(WithId(new QLabel(UiText(text)), labelId), row, 0);
  auto* list = WithId(new QComboBox, id);
  for (const int rate : Key::kMp3BitRates) list->addItem(QString::number(rate), rate);
  grid->addWidget(list, row, 1);
  grid->addWidget(new QLabel(QStringLiteral("Kbps")), row, 2);
  QObject::connect(list, &QComboBox::activated, list,
                   [list, &value] { value = list->currentData().toInt(); });
  return list;
}

// Two radios of one group, in a row.
std::pair<QRadioButton*, QRadioButton*> AddModeRadios(QBoxLayout* layout, int firstId,
                                                      int secondId) {
  auto* first = WithId(new QRadioButton(UiText(kConstant)), firstId);
  auto* second = WithId(new QRadioButton(UiText(kVariable)), secondId);
  auto* group = new QButtonGroup(layout);
  group->addButton(first);
  group->addButton(second);
  auto* row = new QHBoxLayout;
  row->addWidget(first);
  row->addWidget(second);
  row->addStretch();
  layout->addLayout(row);
  return {first, second};
}

}  // namespace

// ---- MP3 ----

Mp3SettingsDlg::Mp3SettingsDlg(QWidget* parent)
    : SettingsPage(parent), format_(CreateOutputFormat(FormatId::Mp3)) {
  WithId(this, 6000);
  Mp3Settings& s = Settings();
  auto* layout = new QVBoxLayout(this);
  std::tie(constant_, variable_) = AddModeRadios(layout, 6001, 6002);
  // With variable bit rate the slider is the encoder's quality; with constant, the rate.
  slider_ = AddSlider(layout, 6003, 8,
                      s.isVbr == 1 ? std::clamp(s.fquality, 0, 8)
                                   : Mp3Settings::NearestSliderPosition(s.maxBitRate));
  rateLabel_ = WithId(new QLabel, 6006);
  rateLabel_->setAlignment(Qt::AlignCenter);
  layout->addWidget(rateLabel_);

  auto* grid = new QGridLayout;
  minRate_ = AddMp3RateList(grid, 0, 5106, kMinRate, 6004, s.minBitRate);
  maxRate_ = AddMp3RateList(grid, 1, 5107, kMaxRate, 6005, s.maxBitRate);
  grid->addWidget(WithId(new QLabel(UiText(kStereoMode)), 5108), 2, 0);
  auto* stereo = WithId(new QComboBox, 6007);
  stereo->addItems({"Stereo", "Joint Stereo", "Dual Channel", "Mono"});
  stereo->setCurrentIndex(s.stereoMode);
  grid->addWidget(stereo, 2, 1, 1, 2);
  grid->setColumnStretch(3, 1);
  layout->addLayout(grid);

  auto* copyrighted = WithId(new QCheckBox(UiText(kCopyrighted)), 6008);
  copyrighted->setChecked(s.copyrighted != 0);
  auto* crcs = WithId(new QCheckBox(UiText(kCrcs)), 6009);
  crcs->setChecked(s.crcs != 0);
  layout->addWidget(copyrighted);
  layout->addWidget(crcs);
  layout->addStretch();

  const bool isVariable = s.isVbr == 1;
  (isVariable ? variable_ : constant_)->setChecked(true);
  ShowMode(isVariable);
  ShowRates();

  // Connected after the stored values are shown: only the user's changes change them.
  connect(slider_, &QSlider::valueChanged, this, &Mp3SettingsDlg::OnSlider);
  connect(variable_, &QRadioButton::toggled, this, &Mp3SettingsDlg::OnModeChosen);
  // The lowest rate never above the highest: the other list follows a choice.
  connect(minRate_, &QComboBox::activated, this, [this] {
    Settings().maxBitRate = std::max(Settings().maxBitRate, Settings().minBitRate);
    ShowRates();
  });
  connect(maxRate_, &QComboBox::activated, this, [this] {
    Settings().minBitRate = std::min(Settings().minBitRate, Settings().maxBitRate);
    ShowRates();
  });
  connect(stereo, &QComboBox::currentIndexChanged, this,
          [this](int index) { Settings().stereoMode = index; });
  connect(copyrighted, &QCheckBox::toggled, this, [this](bool on) { Settings().copyrighted = on; });
  connect(crcs, &QCheckBox::toggled, this, [this](bool on) { Settings().crcs = on; });
}

Mp3SettingsDlg::~Mp3SettingsDlg() = default;

void Mp3SettingsDlg::Store() { format_->SaveSettings(); }

Mp3Settings& Mp3SettingsDlg::Settings() { return SettingsOf<Mp3Format>(format_); }

void Mp3SettingsDlg::ShowMode(bool variable) {
  minRate_->setEnabled(variable);
  maxRate_->setEnabled(variable);
}

void Mp3SettingsDlg::OnModeChosen(bool variable) {
  Settings().isVbr = variable ? 1 : 0;
  ShowMode(variable);
  if (!variable) OnSlider(slider_->value());
}

void Mp3SettingsDlg::OnSlider(int position) {
  Mp3Settings& s = Settings();
  s.fquality = std::min(position, 8);
  // With variable bit rate the slider sets the encoder's quality within the chosen rates.
  if (s.isVbr != 1) s.minBitRate = s.maxBitRate = Mp3Settings::SliderBitRate(s.fquality);
  ShowRates();
}

void Mp3SettingsDlg::ShowRates() {
  const Mp3Settings& s = Settings();
  minRate_->setCurrentIndex(minRate_->findData(s.minBitRate));
  maxRate_->setCurrentIndex(maxRate_->findData(s.maxBitRate));
  rateLabel_->setText(QStringLiteral("%1 Kbps").arg(s.maxBitRate));
}

// ---- Ogg Vorbis ----

OggSettingsDlg::OggSettingsDlg(QWidget* parent)
    : SettingsPage(parent), format_(CreateOutputFormat(FormatId::Ogg)) {
  WithId(this, 7000);
  OggSettings& s = Settings();
  auto* layout = new QVBoxLayout(this);
  std::tie(managed_, quality_) = AddModeRadios(layout, 7001, 7002);
  slider_ = AddSlider(layout, 7003, 8, std::clamp(s.fquality, 0, 8));
  qualityLabel_ = WithId(new QLabel, 7007);
  qualityLabel_->setAlignment(Qt::AlignCenter);
  layout->addWidget(qualityLabel_);
  auto* grid = new QGridLayout;
  minRate_ = AddRateEdit(grid, 0, 5106, kMinRate, 7004, s.minBitRate);
  nomRate_ = AddRateEdit(grid, 1, 5109, kNomRate, 7005, s.nomBitRate);
  maxRate_ = AddRateEdit(grid, 2, 5107, kMaxRate, 7006, s.maxBitRate);
  grid->setColumnStretch(3, 1);
  layout->addLayout(grid);
  layout->addStretch();

  const bool qualityMode = s.vbr == 1;
  (qualityMode ? quality_ : managed_)->setChecked(true);
  ShowMode(qualityMode);
  ShowQuality();

  // Connected after the stored values are shown: only the user's changes change them.
  connect(slider_, &QSlider::valueChanged, this, [this](int position) {
    Settings().fquality = position;
    ShowQuality();
  });
  connect(quality_, &QRadioButton::toggled, this, [this](bool qualityMode) {
    Settings().vbr = qualityMode ? 1 : 0;
    ShowMode(qualityMode);
  });
}

OggSettingsDlg::~OggSettingsDlg() = default;

void OggSettingsDlg::Store() { format_->SaveSettings(); }

OggSettings& OggSettingsDlg::Settings() { return SettingsOf<OggFormat>(format_); }

void OggSettingsDlg::ShowMode(bool qualityMode) {
  slider_->setEnabled(qualityMode);
  for (QLineEdit* edit : {minRate_, nomRate_, maxRate_}) edit->setEnabled(!qualityMode);
}

void OggSettingsDlg::ShowQuality() {
  qualityLabel_->setText(QString::asprintf("%1.1f", Settings().Quality()));
}

// ---- AAC ----

AacSettingsDlg::AacSettingsDlg(QWidget* parent)
    : SettingsPage(parent), format_(CreateOutputFormat(FormatId::Aac)) {
  WithId(this, 5000);
  AacSettings& s = Settings();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(WithId(new QLabel(UiText(kAacQuality)), 5102));
  QSlider* slider = AddSlider(layout, 5007, 6, std::clamp(s.fquality, 0, 6));
  rateLabel_ = WithId(new QLabel(s.Label()), 5011);
  rateLabel_->setAlignment(Qt::AlignCenter);
  layout->addWidget(rateLabel_);
  auto* row = new QHBoxLayout;
  row->addWidget(WithId(new QLabel(UiText(kMpegVersion)), 5105));
  auto* version = WithId(new QComboBox, 5012);
  version->addItems({"Mpeg 4", "Mpeg 2"});
  version->setCurrentIndex(s.mpegVersion);
  row->addWidget(version);
  row->addStretch();
  layout->addLayout(row);
  layout->addStretch();

  connect(slider, &QSlider::valueChanged, this, [this](int position) {
    Settings().fquality = position;
    rateLabel_->setText(Settings().Label());
  });
  connect(version, &QComboBox::currentIndexChanged, this,
          [this](int index) { Settings().mpegVersion = index; });
}

AacSettingsDlg::~AacSettingsDlg() = default;

void AacSettingsDlg::Store() { format_->SaveSettings(); }

AacSettings& AacSettingsDlg::Settings() { return SettingsOf<AacFormat>(format_); }

// ---- FLAC, Opus, AAC (M4A) ----

AcceptedSettingsPage::AcceptedSettingsPage(FormatId format, QWidget* parent)
    : SettingsPage(parent), format_(CreateOutputFormat(format)) {}

AcceptedSettingsPage::~AcceptedSettingsPage() = default;

void AcceptedSettingsPage::Store() { format_->SaveSettings(); }

namespace {

// A spin box of min..max showing value, with its label, on a new row of layout.
QSpinBox* AddSpinRow(QBoxLayout* layout, unsigned text, int min, int max, int value,
                     const QString& suffix = {}) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(UiText(text)));
  auto* spin = new QSpinBox;
  spin->setRange(min, max);
  spin->setValue(std::clamp(value, min, max));
  spin->setSuffix(suffix);
  row->addWidget(spin);
  row->addStretch();
  layout->addLayout(row);
  return spin;
}

}  // namespace

FlacSettingsDlg::FlacSettingsDlg(QWidget* parent) : AcceptedSettingsPage(FormatId::Flac, parent) {
  FlacSettings& s = SettingsOf<FlacFormat>();
  auto* layout = new QVBoxLayout(this);
  auto* level = new QLabel;
  const auto showLevel = [level](int value) {
    level->setText(UiText(kCompressionLevel) + QStringLiteral(": %1").arg(value));
  };
  showLevel(s.Level());
  layout->addWidget(level);
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setRange(FlacSettings::kFastestLevel, FlacSettings::kBestLevel);
  slider->setPageStep(1);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setValue(s.Level());
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(UiText(kFast)));
  row->addWidget(slider, 1);
  row->addWidget(new QLabel(UiText(kBest)));
  layout->addLayout(row);
  auto* verify = new QCheckBox(UiText(kVerify));
  verify->setChecked(s.verify != 0);
  layout->addWidget(verify);
  layout->addStretch();
  connect(slider, &QSlider::valueChanged, this, [&s, showLevel](int value) {
    s.level = value;
    showLevel(value);
  });
  connect(verify, &QCheckBox::toggled, this, [&s](bool on) { s.verify = on ? 1 : 0; });
}

OpusSettingsDlg::OpusSettingsDlg(QWidget* parent) : AcceptedSettingsPage(FormatId::Opus, parent) {
  OpusSettings& s = SettingsOf<OpusFormat>();
  auto* layout = new QVBoxLayout(this);
  QSpinBox* rate = AddSpinRow(layout, kBitRate, OpusSettings::kMinBitRate,
                              OpusSettings::kMaxBitRate, s.BitRate(), QStringLiteral(" kbit/s"));
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(UiText(kMode)));
  auto* mode = new QComboBox;
  mode->addItems({UiText(kVbr), UiText(kConstrainedVbr), UiText(kCbr)});
  mode->setCurrentIndex(s.RateMode());
  row->addWidget(mode);
  row->addStretch();
  layout->addLayout(row);
  QSpinBox* complexity =
      AddSpinRow(layout, kComplexity, 0, OpusSettings::kMaxComplexity, s.Complexity());
  layout->addStretch();
  connect(rate, &QSpinBox::valueChanged, this, [&s](int value) { s.bitRate = value; });
  connect(mode, &QComboBox::currentIndexChanged, this, [&s](int index) { s.mode = index; });
  connect(complexity, &QSpinBox::valueChanged, this, [&s](int value) { s.complexity = value; });
}

M4aSettingsDlg::M4aSettingsDlg(QWidget* parent) : AcceptedSettingsPage(FormatId::M4a, parent) {
  M4aSettings& s = SettingsOf<M4aFormat>();
  auto* layout = new QVBoxLayout(this);
  QSpinBox* rate = AddSpinRow(layout, kBitRate, M4aSettings::kMinBitRate, M4aSettings::kMaxBitRate,
                              s.BitRate(), QStringLiteral(" kbit/s"));
  rate->setSingleStep(16);
  layout->addStretch();
  connect(rate, &QSpinBox::valueChanged, this, [&s](int value) { s.bitRate = value; });
}

// ---- WMA ----

WmaSettingsDlg::WmaSettingsDlg(const FormatList& formats, QWidget* parent) : SettingsPage(parent) {
  WithId(this, 8000);
  formatString_ = SettingsStore::Instance().ReadText(Key::WmaFormatString);
  auto* list = WithId(new QComboBox, 8001);
  // The program gives no list of its own: the WMA writer's formats of this build.
  const QStringList descriptions = formats ? formats() : ListWmaFormats();
  if (descriptions.isEmpty()) {
    list->addItem(kNoFormats);
  } else {
    list->addItems(descriptions);
    for (int i = 0; i < descriptions.size(); ++i) {
      if (descriptions[i].startsWith(formatString_, Qt::CaseInsensitive)) {
        list->setCurrentIndex(i);
        break;
      }
    }
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list);
  layout->addStretch();
  // Only a real description becomes the pending format.
  connect(list, &QComboBox::activated, this, [this, list](int index) {
    const QString text = list->itemText(index);
    if (!text.isEmpty() && text != kNoFormats) formatString_ = text;
  });
}

void WmaSettingsDlg::Store() {
  SettingsStore::Instance().WriteString(Key::WmaFormatString, formatString_);
}

SettingsPage* CreateSettingsPage(FormatId format, const OptionsHooks& hooks) {
  switch (format) {
    case FormatId::Mp3: return new Mp3SettingsDlg;
    case FormatId::Ogg: return new OggSettingsDlg;
    case FormatId::Aac: return new AacSettingsDlg;
    case FormatId::Wma: return new WmaSettingsDlg(hooks.wmaFormats);
    case FormatId::Flac: return new FlacSettingsDlg;
    case FormatId::Opus: return new OpusSettingsDlg;
    case FormatId::M4a: return new M4aSettingsDlg;
    default: return nullptr;
  }
}
