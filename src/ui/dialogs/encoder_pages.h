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
// format, which loads the format's section when the page is made; the page writes the values
// back when it is destroyed, which is when the options dialog closes, after OK and Cancel alike.

class Mp3SettingsDlg : public QWidget {
  Q_OBJECT
 public:
  explicit Mp3SettingsDlg(QWidget* parent = nullptr);
  ~Mp3SettingsDlg() override;

 private:
  Mp3Settings& Settings();
  void ShowMode(bool variable);
  void OnSlider(int position);
  void ShowRates();

  std::unique_ptr<OutputFormat> format_;
  QRadioButton* constant_;
  QRadioButton* variable_;
  QSlider* slider_;
  QLabel* rateLabel_;
  QLineEdit* minRate_;
  QLineEdit* maxRate_;
};

class OggSettingsDlg : public QWidget {
  Q_OBJECT
 public:
  explicit OggSettingsDlg(QWidget* parent = nullptr);
  ~OggSettingsDlg() override;

 private:
  OggSettings& Settings();
  void ShowMode(bool qualityMode);
  void OnSlider(int position);

  std::unique_ptr<OutputFormat> format_;
  QRadioButton* quality_;
  QRadioButton* managed_;
  QSlider* slider_;
  QLabel* qualityLabel_;
  QLineEdit* minRate_;
  QLineEdit* nomRate_;
  QLineEdit* maxRate_;
};

class AacSettingsDlg : public QWidget {
  Q_OBJECT
 public:
  explicit AacSettingsDlg(QWidget* parent = nullptr);
  ~AacSettingsDlg() override;

 private:
  AacSettings& Settings();

  std::unique_ptr<OutputFormat> format_;
  QLabel* rateLabel_;
};

// The pages of the formats below show the stored settings and store them only when the
// options dialog is closed with OK.
class AcceptedSettingsPage : public QWidget {
  Q_OBJECT
 public:
  explicit AcceptedSettingsPage(FormatId format, QWidget* parent = nullptr);
  ~AcceptedSettingsPage() override;

 protected:
  void showEvent(QShowEvent* event) override;
  template <class Format>
  auto& SettingsOf() {
    return static_cast<Format&>(*format_).Settings();
  }

 private:
  std::unique_ptr<OutputFormat> format_;
  bool watching_ = false;
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

class WmaSettingsDlg : public QWidget {
  Q_OBJECT
 public:
  using FormatList = WmaFormatList;
  static constexpr const char* kNoFormats = "Can't get WMA formats";

  explicit WmaSettingsDlg(const FormatList& formats, QWidget* parent = nullptr);
  ~WmaSettingsDlg() override;

 private:
  QString formatString_;  // the pending "FormatString"
};
