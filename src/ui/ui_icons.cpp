#include "ui/ui_icons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

#include "encoders/output_format.h"

// The icons live in this static library; their resource registers on first use.
static void RegisterIconResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)registered;
}

QIcon KorvaneIcon(const char* name) {
  RegisterIconResources();
  const QString path = QString(":/icons/%1.svg").arg(QLatin1String(name));
  return QFile::exists(path) ? QIcon(path) : QIcon();
}

namespace {

QColor BandColour(int typeId) {
  switch (typeId) {
    case EncoderType::Mp3: return QColor(0x2a, 0x7d, 0xe1);
    case EncoderType::Ogg: return QColor(0xd9, 0x7a, 0x1c);
    case EncoderType::Wav: return QColor(0x2a, 0x9d, 0x58);
    case EncoderType::Wma: return QColor(0x7a, 0x4c, 0xc2);
    case EncoderType::Aac: return QColor(0xc2, 0x3b, 0x6e);
    default: return QColor(0x56, 0x62, 0x7a);  // disc images
  }
}

QPixmap FormatPixmap(const FormatRow& row, int size) {
  QPixmap pixmap = KorvaneIcon("format").pixmap(size, size);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF band(0, size * 0.58, size, size * 0.36);
  painter.setPen(Qt::NoPen);
  painter.setBrush(BandColour(row.typeId));
  painter.drawRoundedRect(band, size * 0.08, size * 0.08);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(qMax(6, int(size * 0.27)));
  painter.setFont(font);
  painter.setPen(Qt::white);
  const QString name =
      row.typeId == EncoderType::BinCue ? QString("BIN") : QString(row.shortName).toUpper();
  painter.drawText(band, Qt::AlignCenter, name);
  return pixmap;
}

}  // namespace

QIcon FormatIcon(FormatId format) {
  const FormatRow& row = FindFormatRow(format);
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(FormatPixmap(row, size));
  return icon;
}
