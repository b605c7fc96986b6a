#include "ui/dialogs/dialog_support.h"

#include "texts/language_manager.h"

QString UiText(unsigned id) { return LanguageManager::Instance().Text(id); }

QString TextBeforeColon(unsigned id) {
  const QString text = UiText(id);
  const qsizetype colon = text.indexOf(':');
  return colon < 0 ? text.trimmed() : text.left(colon);
}

int CorrectedBitRate(const QString& text) {
  constexpr int kLowest = 64;
  constexpr int kHighest = 320;
  bool ok = false;
  const qlonglong value = text.trimmed().toLongLong(&ok);
  if (!ok || value == 0) return kLowest;
  if (value < 0 || value > kHighest) return kHighest;
  return static_cast<int>(value);
}
