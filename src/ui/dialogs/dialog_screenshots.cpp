// korvane-dialog-screenshots FOLDER: pictures of every dialog and settings page as PNG files,
// in English and in German, for the screenshot script (run it under Xvfb or offscreen).
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include "encoders/output_format.h"
#include "metadata/disc_info.h"
#include "platform/paths.h"
#include "settings/settings_store.h"
#include "ui/dialogs/disc_dialogs.h"
#include "ui/dialogs/options_dlg.h"

namespace {

void Save(QWidget& widget, const QString& path, QStringList& written) {
  widget.adjustSize();
  widget.show();
  QApplication::processEvents();
  if (widget.grab().save(path)) written << path;
}

void TakeAll(const QString& folder, const QString& language, QStringList& written) {
  SettingsStore& store = SettingsStore::Instance();
  const QString prefix = QDir(folder).filePath(language + "-");
  for (int tab = 0; tab < OptionsDlg::kTabCount; ++tab) {
    store.WriteInt(Key::ActiveOptionsTab, tab);
    OptionsDlg dlg;
    Save(dlg, prefix + QString("options-tab%1.png").arg(tab), written);
  }
  store.WriteInt(Key::ActiveOptionsTab, 1);
  for (const FormatDescriptor& format : FormatDescriptors()) {
    if (!format.HasSettings()) continue;
    store.WriteInt(Key::FormatSelected, ToStored(format.id));
    OptionsDlg dlg;
    Save(dlg, prefix + QString("options-%1.png").arg(format.shortName), written);
  }
  store.WriteInt(Key::ActiveOptionsTab, 0);

  DiscInfo disc;
  disc.ResetToDefaults(3);
  EnterDiscInfoDlg edit(disc, 3);
  Save(edit, prefix + "edit-disc-info.png", written);
  FreeDBDlg lookup(disc);  // no disc in the drive: the log says so
  QApplication::processEvents();
  Save(lookup, prefix + "freedb-lookup.png", written);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    QTextStream(stderr) << "usage: korvane-dialog-screenshots FOLDER [GERMAN.lng]\n";
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  const QString german =
      argc > 2 ? QString::fromLocal8Bit(argv[2])
               : QApplication::applicationDirPath() + "/../share/korvane/languages/Deutsch.lng";
  // Settings of its own, so the user's are never touched.
  QTemporaryDir config;
  Paths::SetConfigDirOverride(config.path());
  SettingsStore& store = SettingsStore::Instance();
  QStringList written;
  store.WriteString(Key::Language, QString());
  TakeAll(folder, "en", written);
  store.WriteString(Key::Language, german);
  TakeAll(folder, "de", written);
  for (const QString& path : written) QTextStream(stdout) << path << '\n';
  return written.isEmpty() ? 1 : 0;
}
