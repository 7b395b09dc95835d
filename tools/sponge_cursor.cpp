// sponge_cursor: draws the sponge cursor shown over the iced window while the touch camera is
// the device.
//
//   sponge_cursor <output.png>
//
// A 32x32 yellow sponge with a darker rim and pores, on a transparent background; the program
// puts the hotspot at its centre, where the brush wipes.

#include <cstdio>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sponge_cursor <output.png>\n");
    return 2;
  }
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A slightly tilted block with a soft shadow, so it reads on both ice and summer pictures.
    p.translate(16, 16);
    p.rotate(-12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(QRectF(-11, -7, 24, 17), 4, 4);
    p.setPen(QPen(QColor(150, 105, 10), 1.5));
    p.setBrush(QColor(250, 214, 70));
    p.drawRoundedRect(QRectF(-12, -9, 24, 17), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 170, 60));
    p.drawRoundedRect(QRectF(-12, 3, 24, 5), 2, 2);
    p.setBrush(QColor(205, 160, 35));
    const QPointF pores[] = {{-7, -5}, {-1, -6}, {6, -4}, {-4, -1}, {3, -1}, {8, 0}, {-8, 1}};
    for (const QPointF& pore : pores) p.drawEllipse(pore, 1.3, 1.1);
  }
  if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "sponge_cursor: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
