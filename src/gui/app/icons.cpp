#include "gui/app/icons.h"

#include <QConicalGradient>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QRadialGradient>
#include <QTransform>

#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace tunex {
namespace {

// Every icon is drawn on a 32 x 32 canvas and scaled. Outlines are 1.5 units or more, so they stay
// three quarters of a pixel wide at 16 px; details thinner than that vanish in the tab bar.
constexpr double kCanvas = 32.0;
constexpr std::array kSizes{16, 22, 24, 26, 32, 48, 64};

using DrawFn = void (*)(QPainter&);

QIcon paintIcon(DrawFn draw) {
    QIcon icon;
    for (const int size : kSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / kCanvas, size / kCanvas);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

bool darkTheme() {
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

// Outlines go darker than their colour on a light window and lighter on a dark one, so each shape
// keeps an edge against whatever background the icon is shown on.
QColor edge(const QColor& base) {
    return darkTheme() ? base.lighter(170) : base.darker(190);
}

void shape(QPainter& p, const QPainterPath& path, const QBrush& fill, const QColor& base,
           double width = 1.5) {
    p.setPen(QPen(edge(base), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(path);
}

void line(QPainter& p, QPointF from, QPointF to, const QColor& colour, double width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
}

QLinearGradient topLit(const QRectF& r, const QColor& base) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, base.lighter(135));
    g.setColorAt(1, base);
    return g;
}

QPainterPath circle(QPointF c, double r) {
    QPainterPath path;
    path.addEllipse(c, r, r);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath roundedRect(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// --- discs and notes -------------------------------------------------------------------------

// The rainbow sheen is what makes a grey circle read as a compact disc at small sizes.
QConicalGradient discSheen(QPointF c) {
    QConicalGradient g(c, 45);
    g.setColorAt(0.0, QColor(0xc4, 0xcf, 0xe1));
    g.setColorAt(0.12, QColor(0xf8, 0xfa, 0xfd));
    g.setColorAt(0.25, QColor(0xcf, 0xec, 0xff));
    g.setColorAt(0.5, QColor(0xbd, 0xc8, 0xdb));
    g.setColorAt(0.62, QColor(0xfb, 0xf1, 0xff));
    g.setColorAt(0.75, QColor(0xdc, 0xf5, 0xe8));
    g.setColorAt(1.0, QColor(0xc4, 0xcf, 0xe1));
    return g;
}

void drawDisc(QPainter& p, QPointF c, double r) {
    const QColor rim(0x5a, 0x6a, 0x88);
    QPainterPath disc = circle(c, r).subtracted(circle(c, r * 0.14));
    shape(p, disc, discSheen(c), rim);
    p.setPen(QPen(QColor(0x8a, 0x98, 0xb0), 1.0));
    p.setBrush(QColor(0xe4, 0xe9, 0xf1));
    p.drawPath(circle(c, r * 0.34).subtracted(circle(c, r * 0.14)));
}

QPainterPath noteHead(QPointF c, double rx, double ry) {
    QPainterPath head;
    head.addEllipse(QPointF(), rx, ry);
    return QTransform().translate(c.x(), c.y()).rotate(-22).map(head);
}

// An eighth note with its head centred on `head` and a stem `stem` units tall.
QPainterPath eighthNote(QPointF head, double stem) {
    const double right = head.x() + 0.3 * stem;
    const double top = head.y() - 1.03 * stem;
    QPainterPath flag;
    flag.moveTo(right, top);
    flag.cubicTo(right + 0.03 * stem, top + 0.22 * stem, right + 0.34 * stem, top + 0.28 * stem,
                 right + 0.28 * stem, top + 0.66 * stem);
    flag.cubicTo(right + 0.25 * stem, top + 0.47 * stem, right + 0.16 * stem, top + 0.38 * stem,
                 right, top + 0.34 * stem);
    flag.closeSubpath();
    QPainterPath stemRect;
    stemRect.addRect(QRectF(right - 0.14 * stem, top, 0.14 * stem, 1.0 * stem));
    return noteHead(head, 0.27 * stem, 0.19 * stem).united(stemRect).united(flag);
}

QLinearGradient noteInk(const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x35, 0x52, 0xb8));
    g.setColorAt(1, QColor(0x1c, 0x2a, 0x6e));
    return g;
}

void drawProgram(QPainter& p) {
    drawDisc(p, QPointF(16, 16), 14.5);
    const QPainterPath note = eighthNote(QPointF(17, 24.5), 18);
    // A white halo rather than an edge: the note sits on the disc, not on the window.
    p.strokePath(note, QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(note, noteInk(note.boundingRect()));
}

void drawSongs(QPainter& p) {
    const QColor violet(0x7a, 0x45, 0xd0);
    QPainterPath notes =
        noteHead(QPointF(8.5, 25), 5, 3.6).united(noteHead(QPointF(22.5, 22), 5, 3.6));
    notes = notes.united(polygon({{10.6, 24}, {13.2, 24}, {13.2, 8.5}, {10.6, 8.5}}));
    notes = notes.united(polygon({{24.6, 21}, {27.2, 21}, {27.2, 5.5}, {24.6, 5.5}}));
    notes = notes.united(polygon({{10.6, 7}, {27.2, 3.5}, {27.2, 8.5}, {10.6, 12}}));
    shape(p, notes, topLit(notes.boundingRect(), violet), violet);
}

// --- folders and paper ---------------------------------------------------------------------

void drawFolderBack(QPainter& p, const QColor& base) {
    const QPainterPath back =
        roundedRect(QRectF(3, 10, 26, 18), 1.5).united(roundedRect(QRectF(3, 7, 11, 6), 1.5));
    shape(p, back, base.darker(115), base);
}

void drawFolderFront(QPainter& p, const QColor& base, double top) {
    const QRectF front(3, top, 26, 28 - top);
    shape(p, roundedRect(front, 1.5), topLit(front, base), base);
}

void drawFiles(QPainter& p) {
    const QColor blue(0x3d, 0x85, 0xd1);
    drawFolderBack(p, blue);
    drawDisc(p, QPointF(17, 12), 9.5);
    drawFolderFront(p, blue, 16.5);  // low, so the disc shows above it
}

void drawLocal(QPainter& p) {
    const QColor yellow(0xf0, 0xb4, 0x29);
    drawFolderBack(p, yellow);
    drawFolderFront(p, yellow, 14);
}

void drawFileType(QPainter& p) {
    const QColor grey(0x8a, 0x94, 0xa6);
    shape(p, polygon({{6, 3}, {19, 3}, {25, 9}, {25, 29}, {6, 29}}), QColor(0xfa, 0xfb, 0xfd),
          grey);
    shape(p, polygon({{19, 3}, {19, 9}, {25, 9}}), QColor(0xdc, 0xe1, 0xea), grey);
    for (const double y : {13.0, 17.0, 21.0}) {
        line(p, QPointF(9.5, y), QPointF(y < 14 ? 21.5 : 15.5, y), QColor(0x9a, 0xa6, 0xb8), 1.5);
    }
    const QColor orange(0xf0, 0x8a, 0x24);
    QPainterPath tag = polygon({{-8, 0}, {-4, -4.5}, {7, -4.5}, {7, 4.5}, {-4, 4.5}});
    tag = tag.subtracted(circle(QPointF(-4, 0), 1.4));
    tag = QTransform().translate(21.5, 23.5).rotate(-35).map(tag);
    shape(p, tag, topLit(tag.boundingRect(), orange), orange);
}

// --- the other pages -----------------------------------------------------------------------

void drawHistory(QPainter& p) {
    const QPointF c(16, 16);
    const QColor blue(0x2f, 0x6f, 0xb8);
    shape(p, circle(c, 14), topLit(QRectF(2, 2, 28, 28), blue), blue);
    QRadialGradient face(c, 11);
    face.setColorAt(0, Qt::white);
    face.setColorAt(1, QColor(0xe3, 0xec, 0xf7));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawEllipse(c, 11, 11);
    const QColor ink(0x26, 0x32, 0x4a);
    for (int hour = 0; hour < 12; hour += 3) {
        const double a = hour * std::numbers::pi / 6;
        const QPointF dir(std::sin(a), -std::cos(a));
        line(p, c + dir * 8, c + dir * 10, ink, 1.5);
    }
    line(p, c, c + QPointF(-5.2, -3), ink, 2.2);  // ten o'clock
    line(p, c, c + QPointF(0, -8.2), ink, 1.8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x3a, 0x2b));
    p.drawEllipse(c, 1.6, 1.6);
}

// Bottom disc first, so each disc above hides the face of the one below.
void drawDatabase(QPainter& p) {
    const QColor side(0x4f, 0x74, 0xa8);
    for (const double y : {22.0, 15.0, 8.0}) {
        const QRectF face(3, y - 4.5, 26, 9);
        QPainterPath body;
        body.addRect(QRectF(3, y, 26, 3.5));
        QPainterPath bottom;
        bottom.addEllipse(face.translated(0, 3.5));
        shape(p, body.united(bottom), side, side);
        QPainterPath top;
        top.addEllipse(face);
        shape(p, top, discSheen(face.center()), side, 1.2);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(side.darker(130));
    p.drawEllipse(QPointF(16, 8), 2.4, 1.0);
}

void drawPerson(QPainter& p, QPointF head, double scale, const QColor& base) {
    const double half = 8.5 * scale;
    QPainterPath body;
    body.moveTo(head.x() - half, 30);
    body.lineTo(head.x() - half, head.y() + 11.5 * scale);
    body.arcTo(QRectF(head.x() - half, head.y() + 6 * scale, 2 * half, 11 * scale), 180, -180);
    body.lineTo(head.x() + half, 30);
    body.closeSubpath();
    shape(p, body, topLit(body.boundingRect(), base), base);
    const QPainterPath face = circle(head, 4.6 * scale);
    shape(p, face, topLit(face.boundingRect(), base.lighter(110)), base);
}

void drawFriend(QPainter& p) {
    drawPerson(p, QPointF(10.5, 8), 0.85, QColor(0x3f, 0x9e, 0x62));
    drawPerson(p, QPointF(20, 12.5), 1.0, QColor(0x3b, 0x7d, 0xd8));
}

void drawSetting(QPainter& p) {
    const QPointF c(16, 16);
    constexpr int kTeeth = 8;
    QPainterPath gear = circle(c, 10.5);
    for (int i = 0; i < kTeeth; ++i) {
        const QPainterPath tooth = roundedRect(QRectF(-2.7, -14.5, 5.4, 6), 1);
        gear =
            gear.united(QTransform().translate(c.x(), c.y()).rotate(360.0 * i / kTeeth).map(tooth));
    }
    gear = gear.subtracted(circle(c, 4));
    const QColor steel(0x6f, 0x80, 0x98);
    shape(p, gear, topLit(gear.boundingRect(), steel), steel);
}

void drawTips(QPainter& p) {
    const QPointF c(16, 13.5);
    const QColor orange(0xf3, 0x9c, 0x12);
    for (const int degrees : {0, 45, 90, 135, 180}) {
        const double a = degrees * std::numbers::pi / 180;
        const QPointF dir(std::cos(a), -std::sin(a));
        line(p, c + dir * 10.2, c + dir * 13, orange, 1.8);
    }
    const QPainterPath glass =
        circle(c, 8).united(polygon({{10.8, 17}, {21.2, 17}, {19.5, 22.5}, {12.5, 22.5}}));
    QRadialGradient glow(c - QPointF(2.5, 2.5), 10);
    glow.setColorAt(0, Qt::white);
    glow.setColorAt(0.45, QColor(0xff, 0xe5, 0x66));
    glow.setColorAt(1, QColor(0xf5, 0xb8, 0x00));
    shape(p, glass, glow, QColor(0xd9, 0x9a, 0x00));
    const QColor metal(0x8d, 0x96, 0xa3);
    shape(p, roundedRect(QRectF(12, 22.5, 8, 6), 1.5), topLit(QRectF(12, 22.5, 8, 6), metal),
          metal);
    line(p, QPointF(12.8, 25.5), QPointF(19.2, 25.5), metal.darker(150), 1.2);
    p.setPen(Qt::NoPen);
    p.setBrush(metal.darker(170));
    p.drawEllipse(QPointF(16, 29.3), 2.2, 1.3);
}

// --- the buttons -------------------------------------------------------------------------

void drawBadge(QPainter& p, const QColor& base) {
    shape(p, circle(QPointF(16, 16), 14), topLit(QRectF(2, 2, 28, 28), base), base);
}

void drawHelp(QPainter& p) {
    drawBadge(p, QColor(0x2a, 0x74, 0xd6));
    QPainterPath mark;
    mark.moveTo(11.3, 12.2);
    mark.cubicTo(11.3, 6.8, 20.7, 6.6, 20.7, 12);
    mark.cubicTo(20.7, 15.6, 16, 15.4, 16, 19.3);
    p.strokePath(mark, QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 24.3), 2.2, 2.2);
}

void drawAbout(QPainter& p) {
    drawBadge(p, QColor(0x2e, 0x9a, 0x5c));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 9.3), 2.3, 2.3);
    p.drawPath(roundedRect(QRectF(14.1, 13.3, 3.8, 11.7), 1.3));
}

void drawExit(QPainter& p) {
    const QColor frame(0x3c, 0x42, 0x50);
    shape(p, roundedRect(QRectF(4, 3, 15, 26), 1), frame, frame);
    const QColor wood(0xc0, 0x79, 0x3a);
    const QPainterPath door = polygon({{4, 3}, {12.5, 5.5}, {12.5, 31}, {4, 29}});
    shape(p, door, topLit(door.boundingRect(), wood), wood);
    p.setPen(Qt::NoPen);
    p.setBrush(wood.darker(200));
    p.drawEllipse(QPointF(10.5, 17.5), 1.1, 1.1);
    const QColor red(0xe0, 0x44, 0x3a);
    const QPainterPath arrow = polygon(
        {{14, 13.5}, {21.5, 13.5}, {21.5, 8.5}, {30, 16}, {21.5, 23.5}, {21.5, 18.5}, {14, 18.5}});
    shape(p, arrow, topLit(arrow.boundingRect(), red), red);
}

constexpr std::array<DrawFn, 9> kPages{drawSongs,    drawFiles,   drawHistory,
                                       drawDatabase, drawLocal,   drawFileType,
                                       drawFriend,   drawSetting, drawTips};

}  // namespace

QIcon programIcon() {
    return paintIcon(drawProgram);
}

QIcon pageIcon(int tab) {
    if (tab < 0 || tab >= static_cast<int>(kPages.size())) {
        return {};
    }
    return paintIcon(kPages[static_cast<std::size_t>(tab)]);
}

QIcon helpIcon() {
    return paintIcon(drawHelp);
}
QIcon aboutIcon() {
    return paintIcon(drawAbout);
}
QIcon exitIcon() {
    return paintIcon(drawExit);
}

}  // namespace tunex
