#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tk::icons {
namespace {

// Icons are drawn rather than shipped as files: they are small and this keeps them sharp at
// every scale the desktop asks for.
QPixmap page(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    QPainterPath sheet;
    sheet.moveTo(3, 1);
    sheet.lineTo(10, 1);
    sheet.lineTo(13, 4);
    sheet.lineTo(13, 15);
    sheet.lineTo(3, 15);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 0.8));
    p.setBrush(QColor(0xFA, 0xFA, 0xF5));
    p.drawPath(sheet);
    p.setPen(QPen(QColor(0x90, 0x90, 0xA0), 0.8));
    for (int y = 6; y <= 12; y += 2) {
        p.drawLine(QPointF(5, y), QPointF(11, y));
    }
    return pm;
}

void drawLock(QPixmap& pm) {
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pm.width() / 16.0, pm.height() / 16.0);
    p.setPen(QPen(QColor(0x6A, 0x4A, 0x00), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8.5, 6.0, 5.0, 6.0), 0, 180 * 16);
    p.setPen(QPen(QColor(0x6A, 0x4A, 0x00), 0.8));
    p.setBrush(QColor(0xF0, 0xB4, 0x20));
    p.drawRoundedRect(QRectF(7.5, 9.0, 7.0, 6.0), 1.0, 1.0);
}

QIcon fromPainter(const std::function<QPixmap(int)>& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        icon.addPixmap(draw(size));
    }
    return icon;
}

}  // namespace

QIcon entryImage(bool isProtected) {
    return fromPainter([isProtected](int size) {
        QPixmap pm = page(size);
        if (isProtected) {
            drawLock(pm);
        }
        return pm;
    });
}

QIcon categoryImage() {
    return fromPainter([](int size) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        p.setPen(QPen(QColor(0x8A, 0x6A, 0x10), 0.8));
        p.setBrush(QColor(0xF5, 0xCE, 0x5A));
        p.drawRoundedRect(QRectF(1.5, 3.0, 6.0, 3.0), 0.8, 0.8);
        p.drawRoundedRect(QRectF(1.5, 4.5, 13.0, 9.5), 1.0, 1.0);
        return pm;
    });
}

}  // namespace tk::icons
