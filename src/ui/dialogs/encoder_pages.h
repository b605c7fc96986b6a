#pragma once
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "encoders/aac_settings.h"
#include "encoders/mp3_settings.h"
#include "encoders/ogg_settings.h"
#include "platform/ids.h"
#include "ui/dialogs/dialog_hooks.h"

class OutputFormat;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

// The settings pages of the "Output Format" tab. Each page owns an output-format object of its
// format, which loads the format's section when the page is made. A page shows the stored
// values and changes nothing by being shown; Store writes what the user chose, on the options
// dialog's OK only.
class SettingsPage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  virtual void Store() = 0;
};

class Mp3SettingsDlg : public SettingsPage {
  Q_OBJECT
 public:
  explicit Mp3SettingsDlg(QWidget* parent = nullptr);
  ~Mp3SettingsDlg() override;
  void Store() override;

 private:
  Mp3Settings& Settings();
  void ShowMode(bool variable);
  // The user switched the mode: constant bit rate takes the slider's rate.
  void OnModeChosen(bool variable);
  void OnSlider(int position);
  void ShowRates();

  std::unique_ptr<OutputFormat> format_;
  QRadioButton* constant_;
  QRadioButton* variable_;
  QSlider* slider_;
  QLabel* rateLabel_;
  QComboBox* minRate_;
  QComboBox* maxRate_;
};

// "Constant bitrate" is the bit-rate-managed mode ("VBR" 0), "Variable bitrate" the quality
// mode ("VBR" 1); the page opens in the stored mode.
class OggSettingsDlg : public SettingsPage {
  Q_OBJECT
 public:
  explicit OggSettingsDlg(QWidget* parent = nullptr);
  ~OggSettingsDlg() override;
  void Store() override;

 private:
  OggSettings& Settings();
  void ShowMode(bool qualityMode);
  void ShowQuality();

  std::unique_ptr<OutputFormat> format_;
  QRadioButton* managed_;
  QRadioButton* quality_;
  QSlider* slider_;
  QLabel* qualityLabel_;
  QLineEdit* minRate_;
  QLineEdit* nomRate_;
  QLineEdit* maxRate_;
};

class AacSettingsDlg : public SettingsPage {
  Q_OBJECT
 public:
  explicit AacSettingsDlg(QWidget* parent = nullptr);
  ~AacSettingsDlg() override;
  void Store() override;

 private:
  AacSettings& Settings();

  std::unique_ptr<OutputFormat> format_;
  QLabel* rateLabel_;
};

// The page of a format whose settings live in its output-format object: Store saves them.
class AcceptedSettingsPage : public SettingsPage {
  Q_OBJECT
 public:
  explicit AcceptedSettingsPage(FormatId format, QWidget* parent = nullptr);
  ~AcceptedSettingsPage() override;
  void Store() override;

 protected:
  template <class Format>
  auto& SettingsOf() {
    return static_cast<Format&>(*format_).Settings();
  }

 private:
  std::unique_ptr<OutputFormat> format_;
};

class FlacSettingsDlg : public AcceptedSettingsPage {
  Q_OBJECT
 public:
  explicit FlacSettingsDlg(QWidget* parent = nullptr);
};

class OpusSettingsDlg : public AcceptedSettingsPage {
  Q_OBJECT
 public:
  explicit OpusSettingsDlg(QWidget* parent = nullptr);
};

class M4aSettingsDlg : public AcceptedSettingsPage {
  Q_OBJECT
 public:
  explicit M4aSettingsDlg(QWidget* parent = nullptr);
};

class WmaSettingsDlg : public SettingsPage {
  Q_OBJECT
 public:
  using FormatList = WmaFormatList;
  static constexpr const char* kNoFormats = "Can't get WMA formats";

  explicit WmaSettingsDlg(const FormatList& formats, QWidget* parent = nullptr);
  void Store() override;

 private:
  QString formatString_;  // the pending "FormatString"
};

// The settings page of a format, for the options dialog: the one list of pages, keyed by
// format. Null for a format without settings (WAV, the disc images).
SettingsPage* CreateSettingsPage(FormatId format, const OptionsHooks& hooks);
