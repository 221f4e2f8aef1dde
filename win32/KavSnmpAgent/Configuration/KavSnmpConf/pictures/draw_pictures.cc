// Draws the tray tool's two pictures at build time: the banner (bitmap 155,
// 550 x 39, magenta marks the corners the dialog background shows through)
// and the tool's icon (icon 132, a stack of drives with a status light).
//   draw_pictures OUTPUT-DIR    writes banner155.bmp and icon132.png there
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>

namespace {

const QColor kTransparentKey(255, 0, 255);

// One drive of the stack: a slab with a face, a slot and a status light.
void DrawDrive(QPainter& p, QRectF slab, const QColor& light) {
  QLinearGradient metal(slab.topLeft(), slab.bottomLeft());
  metal.setColorAt(0.0, QColor(236, 240, 245));
  metal.setColorAt(0.5, QColor(184, 194, 207));
  metal.setColorAt(1.0, QColor(120, 132, 150));
  p.setPen(QPen(QColor(40, 52, 72), slab.height() / 10.0));
  p.setBrush(metal);
  p.drawRoundedRect(slab, slab.height() / 4.0, slab.height() / 4.0);
  QRectF slot(slab.left() + slab.width() * 0.12, slab.center().y() - slab.height() * 0.08,
              slab.width() * 0.5, slab.height() * 0.16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(52, 62, 80));
  p.drawRoundedRect(slot, slot.height() / 2, slot.height() / 2);
  qreal r = slab.height() * 0.17;
  QPointF led(slab.right() - slab.width() * 0.13, slab.center().y());
  p.setBrush(light);
  p.drawEllipse(led, r, r);
}

QImage DrawIcon(int size) {
  QImage icon(size, size, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  qreal s = size / 32.0;
  for (int i = 0; i < 3; ++i) {
    DrawDrive(p, QRectF(2.5 * s, (4.5 + 8.5 * i) * s, 27 * s, 7 * s),
              i == 1 ? QColor(255, 176, 32) : QColor(60, 210, 90));
  }
  return icon;
}

QImage DrawBanner() {
  const int width = 550, height = 39;
  QImage banner(width, height, QImage::Format_RGB32);
  banner.fill(kTransparentKey);
  QPainter p(&banner);

  // The band itself without smoothing, so that its edge never mixes with the
  // transparent colour.
  QLinearGradient band(0, 0, 0, height);
  band.setColorAt(0.0, QColor(58, 92, 150));
  band.setColorAt(0.55, QColor(24, 48, 96));
  band.setColorAt(1.0, QColor(14, 30, 66));
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, width, height), 9, 9);
  p.fillPath(outline, band);

  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  // A thin light line under the top edge and platter rings on the right.
  p.setPen(QPen(QColor(120, 160, 215), 1));
  p.drawLine(QPointF(10, 1.5), QPointF(width - 10, 1.5));
  p.setBrush(Qt::NoBrush);
  for (int ring = 0; ring < 6; ++ring) {
    p.setPen(QPen(QColor(70, 110, 170, 150 - ring * 20), 2));
    p.drawEllipse(QPointF(width - 40, height / 2.0), 12.0 + ring * 9, 12.0 + ring * 9);
  }

  // The drive stack on the left.
  for (int i = 0; i < 3; ++i) {
    DrawDrive(p, QRectF(9, 5 + 10 * i, 34, 8.5), i == 2 ? QColor(255, 176, 32) : QColor(60, 220, 100));
  }

  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(17);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(54, 2, 300, 22), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Kavor RAID Controller"));
  QFont subtitle(QStringLiteral("DejaVu Sans"));
  subtitle.setPixelSize(11);
  p.setFont(subtitle);
  p.setPen(QColor(178, 206, 245));
  p.drawText(QRectF(55, 22, 340, 15), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("SNMP agent configuration"));
  p.end();
  return banner;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_pictures OUTPUT-DIR\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QString dir = QString::fromLocal8Bit(argv[1]);
  bool ok = DrawBanner().save(dir + QStringLiteral("/banner155.bmp"), "BMP") &&
            DrawIcon(64).save(dir + QStringLiteral("/icon132.png"), "PNG");
  if (!ok) std::fprintf(stderr, "draw_pictures: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
