#include "window/icon.h"

#include <QColor>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QRectF>

namespace povezava::window {
namespace {

// The 16 colours of the VGA palette, the colours such icons were drawn in.
QList<QRgb> vgaPalette() {
  return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
          qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
          qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
          qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

// Draws on a 32-unit square; the painter is scaled for the 16-pixel image.
void drawIcon(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor outline(0, 0, 128);
  const QColor drum(0, 128, 128);
  const QColor top(0, 255, 255);

  // The database: a drum of three bands.
  p.setPen(QPen(outline, 1.5));
  p.setBrush(drum);
  p.drawRect(QRectF(3, 7, 18, 19));
  p.drawEllipse(QRectF(3, 22, 18, 7));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(4, 8, 16.5, 19));
  p.setPen(QPen(outline, 1.5));
  p.setBrush(top);
  p.drawEllipse(QRectF(3, 3, 18, 7));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(3, 11, 18, 7), 180 * 16, 180 * 16);
  p.drawArc(QRectF(3, 17, 18, 7), 180 * 16, 180 * 16);

  // The link: two interlocking rings, yellow and red.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 0), 3));
  p.drawEllipse(QRectF(15, 14, 9, 13));
  p.setPen(QPen(QColor(255, 0, 0), 3));
  p.drawEllipse(QRectF(21, 14, 9, 13));
}

}  // namespace

QImage iconImage(int size) {
  QImage canvas(size, size, QImage::Format_ARGB32);
  canvas.fill(Qt::transparent);
  {
    QPainter painter(&canvas);
    painter.scale(size / 32.0, size / 32.0);
    drawIcon(painter);
  }
  // Transparent pixels become the mask; the colours snap to the palette.
  QImage indexed = canvas.convertToFormat(QImage::Format_Indexed8, vgaPalette(),
                                          Qt::ThresholdDither | Qt::AvoidDither);
  QImage withMask = indexed.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if (qAlpha(canvas.pixel(x, y)) < 128) withMask.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
  }
  return withMask;
}

QIcon makeWindowIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(iconImage(32)));
  icon.addPixmap(QPixmap::fromImage(iconImage(16)));
  return icon;
}

}  // namespace povezava::window
