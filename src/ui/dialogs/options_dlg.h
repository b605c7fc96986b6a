#pragma once
#include <QDialog>
#include <QList>
#include <functional>
#include <optional>

#include "settings/setting_keys.h"
#include "ui/dialogs/dialog_hooks.h"
#include "ui/dialogs/encoder_pages.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QStackedLayout;
class QTabWidget;
class ReadOffsetRow;
class ShowFolderOptionsDlg;

// The keyword help of the file-name template: its introduction, then one paragraph per
// keyword ("\t%T - Track Title"), paragraphs apart by an empty line.
QString KeywordHelpText();

// Tab "General": access method, output folder, file-name format, read speed, read offset.
class GeneralOptionsDlg : public QWidget {
  Q_OBJECT
 public:
  GeneralOptionsDlg(const OptionsHooks& hooks, QWidget* parent = nullptr);
  void OnOK();

  static constexpr const char* kDefaultSpeed = "DEFAULT";
  static constexpr const char* kMaximalSpeed = "MAX";

 private:
  void FillSpeeds(const QList<int>& factors, bool withMaximal);
  void SelectChosenSpeed();
  void OnSpeedChosen(int index);
  void OnFileNameChosen(int index);
  void DetectSpeeds();
  void ShowKeywordHelp();

  const OptionsHooks& hooks_;
  QButtonGroup* accessMethod_;
  ShowFolderOptionsDlg* folderPane_;
  QComboBox* fileNames_;
  QLineEdit* advanced_;
  QComboBox* speeds_;
  ReadOffsetRow* readOffset_;
  int fileNameFormat_ = 0;  // as stored: an unknown number stays as it was
  QString speed_;           // the pending "CDReadSpeed"
};

// Tab "Output Format": the format list and the chosen format's settings page. The chosen
// format and the pages' settings are stored on OK.
class AudioOptionsDlg : public QWidget {
  Q_OBJECT
 public:
  AudioOptionsDlg(const OptionsHooks& hooks, QWidget* parent = nullptr);
  void OnOK();

 private:
  void OnFormatChosen(int position);
  QWidget* PageOf(FormatId menuId);

  const OptionsHooks& hooks_;
  QStackedLayout* pages_;
  QWidget* empty_;
  QHash<FormatId, SettingsPage*> made_;  // format -> its settings page
  std::optional<FormatId> chosen_;       // the format the user chose, when they did
};

// Tab "FreeDB": server, access method, proxy and the e-mail address the server asks for.
class FreeDBOptionsDlg : public QWidget {
  Q_OBJECT
 public:
  explicit FreeDBOptionsDlg(QWidget* parent = nullptr);
  void OnOK();

 private:
  void OnAccessMethod(int id);
  void OnProxyType(int id);

  QLineEdit* server_;
  QLineEdit* tcpPort_;
  QLineEdit* httpPort_;
  QLineEdit* proxyServer_;
  QLineEdit* proxyPort_;
  QLineEdit* userName_;
  QLineEdit* password_;
  QLineEdit* email_;
  QButtonGroup* accessMethod_;
  QButtonGroup* proxyType_;
};

// Tab "Automated CD Ripping": six switches, written on OK.
class AutomaticOptionsDlg : public QWidget {
  Q_OBJECT
 public:
  explicit AutomaticOptionsDlg(QWidget* parent = nullptr);
  void OnOK();

 private:
  QList<std::pair<QCheckBox*, const SettingKey*>> switches_;
};

// The options dialog: four tabs whose pages are made when first shown. Showing a page writes
// nothing; OK stores what every page that was made shows, Cancel and Escape store nothing.
class OptionsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit OptionsDlg(OptionsHooks hooks = {}, QWidget* parent = nullptr);

  static constexpr int kTabCount = 4;

  void accept() override;

 private:
  void OnTab(int index);

  OptionsHooks hooks_;
  QTabWidget* tabs_;
  GeneralOptionsDlg* general_ = nullptr;
  AudioOptionsDlg* audio_ = nullptr;
  FreeDBOptionsDlg* freedb_ = nullptr;
  AutomaticOptionsDlg* automatic_ = nullptr;
};
