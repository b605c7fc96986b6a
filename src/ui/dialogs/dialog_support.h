#pragma once
#include <QString>

class QWidget;

// The interface text of id in the user's language.
QString UiText(unsigned id);
// A label text such as "Artist: " cut before its colon ("Artist").
QString TextBeforeColon(unsigned id);
// Names a widget after its numeric identifier ("id4004") so tests and the window find it.
template <class W>
W* WithId(W* widget, int id) {
  widget->setObjectName(QStringLiteral("id%1").arg(id));
  return widget;
}

// A typed bit rate in kbit/s: above 320 (and negative) 320, 0 or not a number 64, else as typed.
int CorrectedBitRate(const QString& text);
