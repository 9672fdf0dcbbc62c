#include "ui/station_artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <string>

namespace pcs::ui {

namespace {

const QColor Navy = Picture_Color(&Palette::Color_Navy), Steel = Picture_Color(&Palette::Color_Steel),
             Ink = Picture_Color(&Palette::Color_Ink), Amber = Picture_Color(&Palette::Color_Amber),
             Oil = Picture_Color(&Palette::Oil), Plate_Rim = Picture_Color(&Palette::Plate_Rim),
             Cap_Grey = Picture_Color(&Palette::Cap_Grey), Glass_Rim = Picture_Color(&Palette::Glass_Rim),
             Well_Rim = Picture_Color(&Palette::Well_Rim), Well_Deep = Picture_Color(&Palette::Well_Deep);

// The cap colour tells the priority at arm's length; the word on the label says it for certain.
QColor Priority_Cap(const std::string& priority) {
    if (priority == "NORMAL") return QColor(70, 150, 230);
    if (priority == "RETEST") return QColor(160, 90, 220);
    if (priority == "RUSH") return QColor(240, 190, 30);
    if (priority == "URGENT") return QColor(250, 120, 20);
    if (priority == "CRITICAL") return QColor(230, 30, 40);
    return Cap_Grey;
}

// A well of the shaking bath seen from above at an angle: dark water with a ripple.
void Draw_Well(QPainter& p, QSize s, bool occupied) {
    const double w = s.width(), h = s.height();
    QRectF well(w * 0.06, h * 0.58, w * 0.88, h * 0.36);
    QRadialGradient water(well.center(), well.width() / 2);
    water.setColorAt(0, QColor(40, 90, 130));
    water.setColorAt(1, Well_Deep);
    p.setPen(QPen(Well_Rim, 2));
    p.setBrush(water);
    p.drawEllipse(well);
    p.setPen(QPen(QColor(150, 200, 240, occupied ? 90 : 140), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(well.adjusted(w * 0.14, h * 0.07, -w * 0.14, -h * 0.07));
    if (!occupied) p.drawEllipse(well.adjusted(w * 0.28, h * 0.13, -w * 0.28, -h * 0.13));
}

void Draw_Bath_Bottle(QPainter& p, QSize s, const std::string& priority) {
    Draw_Well(p, s, true);
    const double w = s.width(), h = s.height();
    const QColor cap = Priority_Cap(priority);
    QRectF body(w * 0.26, h * 0.04, w * 0.48, h * 0.82);
    Draw_Sample_Bottle(p, body, Oil, cap);
    if (priority.empty()) return;
    // The label band carries the priority word in the cap's colour.
    QRectF band(w * 0.1, h * 0.44, w * 0.8, h * 0.18);
    p.setPen(QPen(cap.darker(160), 1));
    p.setBrush(cap);
    p.drawRoundedRect(band, 3, 3);
    QFont f("Arial");
    f.setBold(true);
    f.setPixelSize(int(h * 0.13));
    p.setFont(f);
    p.setPen(cap.lightness() > 150 ? Qt::black : Qt::white);
    p.drawText(band, Qt::AlignCenter, QString::fromStdString(priority));
}

// JPEG keeps no transparency: the plates are drawn on the navy of the panel they sit on.
void Plate(QPainter& p, QSize s, QColor top, QColor bottom, QColor border) {
    p.fillRect(QRect(QPoint(0, 0), s), Navy);
    Draw_Raised_Plate(p, s, top, bottom, border, 0.16);
}

void Caption(QPainter& p, const QRectF& r, const QString& text, QColor colour, double size) {
    QFont f("Arial");
    f.setBold(true);
    f.setPixelSize(int(size));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft, text);
}

// The counter's run button: a wide plate with a symbol and a word, in three looks.
void Draw_Run_Button(QPainter& p, QSize s, int look) {
    const double w = s.width(), h = s.height();
    const QColor top[] = {QColor(110, 116, 122), QColor(60, 190, 90), QColor(225, 60, 50)};
    const QColor bottom[] = {QColor(70, 74, 80), QColor(20, 110, 45), QColor(140, 20, 20)};
    Plate(p, s, top[look], bottom[look], look == 0 ? QColor(130, 136, 142) : Qt::white);
    const QColor ink = look == 0 ? QColor(160, 166, 172) : Qt::white;
    const QPointF c(h * 0.55, h / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    if (look == 2) {
        p.drawRoundedRect(QRectF(c.x() - h * 0.18, c.y() - h * 0.18, h * 0.36, h * 0.36), 3, 3);
    } else {
        QPainterPath tri;
        tri.moveTo(c.x() - h * 0.15, c.y() - h * 0.22);
        tri.lineTo(c.x() + h * 0.22, c.y());
        tri.lineTo(c.x() - h * 0.15, c.y() + h * 0.22);
        tri.closeSubpath();
        p.drawPath(tri);
    }
    Caption(p, QRectF(h, 0, w - h - 8, h), look == 2 ? "STOP COUNT" : "START COUNT", ink, h * 0.3);
}

void Draw_Close_Button(QPainter& p, QSize s) {
    const double w = s.width(), h = s.height();
    Plate(p, s, Steel.lighter(125), Ink.darker(120), QColor(200, 208, 216));
    p.setPen(QPen(Qt::white, h * 0.08, Qt::SolidLine, Qt::RoundCap));
    const QPointF c(h * 0.55, h / 2);
    const double d = h * 0.16;
    p.drawLine(c + QPointF(-d, -d), c + QPointF(d, d));
    p.drawLine(c + QPointF(-d, d), c + QPointF(d, -d));
    Caption(p, QRectF(h, 0, w - h - 8, h), "CLOSE", Qt::white, h * 0.3);
}

// A reason tile: a small bottle showing why the sample cannot be counted, on a plate; the delete
// tile's plate is red-edged since it takes the test off for good.
void Draw_Tile(QPainter& p, QSize s, int reason) {
    const double w = s.width(), h = s.height();
    Plate(p, s, Steel.lighter(115), Ink, reason == 0 ? QColor(230, 80, 70) : Plate_Rim);
    QRectF bottle(w * 0.38, h * 0.14, w * 0.24, h * 0.72);
    const QColor cap(150, 160, 170);
    switch (reason) {
    case 0: { // not enough sample: an almost empty bottle
        p.setPen(QPen(Glass_Rim, 2));
        p.setBrush(QColor(255, 255, 255, 40));
        p.drawRoundedRect(QRectF(bottle.left(), bottle.top() + bottle.height() * 0.2, bottle.width(),
                                 bottle.height() * 0.8),
                          4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(Oil);
        p.drawRoundedRect(QRectF(bottle.left() + 2, bottle.bottom() - bottle.height() * 0.12,
                                 bottle.width() - 4, bottle.height() * 0.12 - 2),
                          2, 2);
        p.setBrush(cap);
        p.drawRoundedRect(QRectF(bottle.left() + bottle.width() * 0.18, bottle.top(), bottle.width() * 0.64,
                                 bottle.height() * 0.2),
                          3, 3);
        break;
    }
    case 1: { // water: a drop beside an oil bottle with a water layer
        Draw_Sample_Bottle(p, bottle.translated(-w * 0.12, 0), Oil, cap);
        QPainterPath drop;
        const QPointF tip(w * 0.74, h * 0.2);
        drop.moveTo(tip);
        drop.cubicTo(tip + QPointF(w * 0.02, h * 0.16), tip + QPointF(w * 0.13, h * 0.3),
                     tip + QPointF(0, h * 0.52));
        drop.cubicTo(tip + QPointF(-w * 0.13, h * 0.3), tip + QPointF(-w * 0.02, h * 0.16), tip);
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(QColor(90, 170, 250));
        p.drawPath(drop);
        break;
    }
    case 2: { // fire retardant: a flame
        Draw_Sample_Bottle(p, bottle.translated(-w * 0.12, 0), Oil, cap);
        QPainterPath flame;
        const QPointF base(w * 0.74, h * 0.78);
        flame.moveTo(base);
        flame.cubicTo(base + QPointF(-w * 0.16, -h * 0.06), base + QPointF(-w * 0.1, -h * 0.4),
                      base + QPointF(0, -h * 0.6));
        flame.cubicTo(base + QPointF(w * 0.02, -h * 0.35), base + QPointF(w * 0.16, -h * 0.2), base);
        QLinearGradient fg(QPointF(0, base.y() - h * 0.6), QPointF(0, base.y()));
        fg.setColorAt(0, QColor(255, 220, 60));
        fg.setColorAt(1, QColor(240, 70, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(fg);
        p.drawPath(flame);
        break;
    }
    case 3: // too dark
        Draw_Sample_Bottle(p, bottle, QColor(25, 18, 10), cap);
        break;
    default: { // opaque: a milky, cloudy fill
        Draw_Sample_Bottle(p, bottle, QColor(205, 195, 170), cap);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 110));
        for (int i = 0; i < 5; ++i)
            p.drawEllipse(QPointF(bottle.left() + bottle.width() * (0.25 + 0.12 * i),
                                  bottle.top() + bottle.height() * (0.6 + 0.06 * (i % 3))),
                          bottle.width() * 0.16, bottle.width() * 0.12);
        break;
    }
    }
}

// Remove from bath: a bottle lifted out of its well.
void Draw_Remove_From_Bath(QPainter& p, QSize s) {
    const double w = s.width(), h = s.height();
    Plate(p, s, Steel.lighter(115), Ink, Plate_Rim);
    p.setPen(QPen(Well_Rim, 2));
    p.setBrush(Well_Deep);
    p.drawEllipse(QRectF(w * 0.22, h * 0.68, w * 0.56, h * 0.2));
    Draw_Sample_Bottle(p, QRectF(w * 0.4, h * 0.12, w * 0.2, h * 0.56), Oil, Cap_Grey);
    p.setPen(QPen(Amber, h * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double ax = w * 0.78;
    p.drawLine(QPointF(ax, h * 0.7), QPointF(ax, h * 0.2));
    p.drawLine(QPointF(ax, h * 0.2), QPointF(ax - w * 0.07, h * 0.32));
    p.drawLine(QPointF(ax, h * 0.2), QPointF(ax + w * 0.07, h * 0.32));
}

// Reload the bath: two arrows chasing round.
void Draw_Refresh(QPainter& p, QSize s) {
    const double w = s.width(), h = s.height();
    Plate(p, s, Steel.lighter(125), Navy, Plate_Rim);
    const QRectF ring(w * 0.24, h * 0.24, w * 0.52, h * 0.52);
    p.setPen(QPen(Qt::white, w * 0.08, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 30 * 16, 130 * 16);
    p.drawArc(ring, 210 * 16, 130 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    auto head = [&](double angle_deg, double dir) {
        const double a = angle_deg * 3.14159265 / 180;
        const QPointF c =
            ring.center() + QPointF(std::cos(a) * ring.width() / 2, -std::sin(a) * ring.height() / 2);
        const QPointF t(-std::sin(a) * dir, -std::cos(a) * dir); // along the arc
        const QPointF n(std::cos(a), -std::sin(a));              // across it
        QPainterPath tri;
        tri.moveTo(c + t * w * 0.13);
        tri.lineTo(c + n * w * 0.1);
        tri.lineTo(c - n * w * 0.1);
        tri.closeSubpath();
        p.drawPath(tri);
    };
    head(160, 1);
    head(340, 1);
}

} // namespace

std::vector<Artwork> Bath_Station_Artwork() {
    std::vector<Artwork> art;
    const QSize bottle(72, 96);
    art.push_back({"bttn_bath_idle.gif", bottle, [](QPainter& p, QSize s) { Draw_Well(p, s, false); }});
    art.push_back({"bttn_bath.gif", bottle, [](QPainter& p, QSize s) { Draw_Bath_Bottle(p, s, ""); }});
    for (const char* priority : Bath_Priorities) {
        const std::string pr = priority;
        art.push_back(
            {"bttn_bath_" + pr + ".gif", bottle, [pr](QPainter& p, QSize s) { Draw_Bath_Bottle(p, s, pr); }});
    }
    for (int look = 0; look < 3; ++look)
        art.push_back({Picture_Run_Button[size_t(look)], QSize(240, 72),
                       [look](QPainter& p, QSize s) { Draw_Run_Button(p, s, look); }});
    art.push_back({Picture_Close, QSize(240, 72), Draw_Close_Button});
    for (int i = 0; i < 5; ++i)
        art.push_back({Picture_Reason_Tile[size_t(i)], QSize(120, 80),
                       [i](QPainter& p, QSize s) { Draw_Tile(p, s, i); }});
    art.push_back({Picture_Remove_From_Bath, QSize(120, 80), Draw_Remove_From_Bath});
    art.push_back({Picture_Refresh, QSize(72, 72), Draw_Refresh});
    return art;
}

} // namespace pcs::ui
