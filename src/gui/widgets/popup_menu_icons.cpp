#include "gui/widgets/popup_menu_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace tunex {
namespace {

const QColor kInk(0x20, 0x20, 0x20);

// A bent arrow from the right going up and back left; mirrored for redo.
void paintTurnArrow(QPainter& p, bool mirrored) {
    if (mirrored) {
        p.translate(kPopupIconWidth, 0);
        p.scale(-1, 1);
    }
    QPainterPath bend;
    bend.moveTo(13.5, 12.5);
    bend.cubicTo(14.5, 6.0, 10.0, 4.5, 5.0, 5.5);
    p.setPen(QPen(QColor(0x1c, 0x4f, 0xb0), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(bend);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1c, 0x4f, 0xb0));
    p.drawPolygon(QPolygonF({QPointF(1.0, 5.5), QPointF(6.5, 1.0), QPointF(6.5, 10.0)}));
}

void paintScissors(QPainter& p) {
    p.setPen(QPen(kInk, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 1.0), QPointF(10.5, 9.5));
    p.drawLine(QPointF(11.5, 1.0), QPointF(5.5, 9.5));
    p.setPen(QPen(QColor(0xb0, 0x20, 0x20), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(4.2, 11.5), 2.3, 2.3);
    p.drawEllipse(QPointF(11.8, 11.5), 2.3, 2.3);
}

void paintPage(QPainter& p, const QRectF& page) {
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(page);
    p.setPen(QPen(QColor(0x70, 0x70, 0x90), 1.0));
    // Counted in whole lines: a floating-point loop counter can gain or lose a step.
    for (int line = 0; page.top() + 3 + 2.5 * line < page.bottom() - 1; ++line) {
        const double y = page.top() + 3 + 2.5 * line;
        p.drawLine(QPointF(page.left() + 2, y), QPointF(page.right() - 2, y));
    }
}

void paintCopy(QPainter& p) {
    paintPage(p, QRectF(1.5, 0.5, 8, 10));
    paintPage(p, QRectF(6.5, 4.5, 8, 10));
}

void paintPaste(QPainter& p) {
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(QColor(0xb8, 0x86, 0x3b));
    p.drawRoundedRect(QRectF(1.5, 1.5, 10, 12.5), 1.5, 1.5);
    p.setBrush(QColor(0x90, 0x90, 0x90));
    p.drawRect(QRectF(4.0, 0.5, 5, 2.5));
    paintPage(p, QRectF(6.5, 5.5, 8, 9));
}

void paintDelete(QPainter& p) {
    p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 2.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 2.5), QPointF(3.5, 12.5));
}

}  // namespace

QPixmap popupMenuIcon(int index, qreal devicePixelRatio) {
    if (index < 0 || index >= kPopupIconCount) {
        return {};
    }
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(qRound(kPopupIconWidth * ratio), qRound(kPopupIconHeight * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:
            paintTurnArrow(p, false);
            break;
        case 1:
            paintTurnArrow(p, true);
            break;
        case 2:
            paintScissors(p);
            break;
        case 3:
            paintCopy(p);
            break;
        case 4:
            paintPaste(p);
            break;
        default:
            paintDelete(p);
            break;
    }
    return pixmap;
}

}  // namespace tunex
