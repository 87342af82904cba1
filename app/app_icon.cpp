#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace tk {

QImage paintAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x23, 0x42, 0x7A));
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 40, 40);
    p.setBrush(QColor(0xF4, 0xEF, 0xE1));
    p.drawRoundedRect(QRectF(64, 48, 128, 160), 10, 10);
    p.setBrush(QColor(0xB0, 0x3A, 0x2E));
    p.drawRoundedRect(QRectF(64, 48, 24, 160), 6, 6);
    p.setPen(QPen(QColor(0x8A, 0x8F, 0xA3), 8, Qt::SolidLine, Qt::RoundCap));
    for (int y : {112, 140, 168}) {
        p.drawLine(QPointF(104, y), QPointF(172, y));
    }
    QPainterPath mark;
    mark.moveTo(148, 48);
    mark.lineTo(172, 48);
    mark.lineTo(172, 100);
    mark.lineTo(160, 88);
    mark.lineTo(148, 100);
    mark.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE0, 0xB0, 0x30));
    p.drawPath(mark);
    return image;
}

}  // namespace tk
