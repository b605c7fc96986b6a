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

QPixmap FormatPixmap(const FormatDescriptor& format, int size) {
  QPixmap pixmap = KorvaneIcon("format").pixmap(size, size);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF band(0, size * 0.58, size, size * 0.36);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor::fromRgb(format.badgeColour));
  painter.drawRoundedRect(band, size * 0.08, size * 0.08);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(qMax(6, int(size * 0.27)));
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(band, Qt::AlignCenter, QString::fromLatin1(format.badge));
  return pixmap;
}

}  // namespace

QIcon FormatIcon(FormatId format) {
  const FormatDescriptor& descriptor = FindFormat(format);
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(FormatPixmap(descriptor, size));
  return icon;
}
