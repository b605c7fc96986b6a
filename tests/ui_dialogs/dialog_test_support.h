#pragma once
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include <QFile>

#include "settings/settings_store.h"
#include "support/test_support.h"

// One settings folder for the whole test program: the settings store keeps the path of its
// file from its first use. Each test starts from empty settings and an empty disc cache.
inline const TempConfig& FreshConfig() {
  static TempConfig config;
  for (const char* name : {"korvane.ini", "discs.ini"}) QFile::remove(config.File(name));
  return config;
}

// The widgets need a QApplication; it is made once, before any other application object.
inline void EnsureWidgetApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "korvane-dialog-tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

// The widget whose identifier is id; null when root has none.
template <class W = QWidget>
W* FindId(const QWidget* root, int id) {
  return root->findChild<W*>(QStringLiteral("id%1").arg(id));
}

// A choice of the user in a drop-down list.
inline void Choose(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// Text typed into an edit and the edit left.
inline void Type(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  emit edit->editingFinished();
}

inline void UseGerman() {
  SettingsStore::Instance().WriteString(Key::Language,
                                        QStringLiteral(KORVANE_LANGUAGE_DIR "/Deutsch.lng"));
}
