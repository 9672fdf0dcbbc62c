#include "ui/rack_artwork.h"

#include "views/rack_view.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <string>

namespace pcs::ui {

namespace {

const QColor Navy = Picture_Color(&Palette::Color_Navy), Steel = Picture_Color(&Palette::Color_Steel),
             Slate = Picture_Color(&Palette::Color_Slate), Amber = Picture_Color(&Palette::Color_Amber),
             Ink = Picture_Color(&Palette::Color_Ink), Dim_Caption = Picture_Color(&Palette::Dim_Caption),
             Cell_Normal = Picture_Color(&Palette::Cell_Normal);

// The colour each filter stands for: the cells' border colour of that priority.
QColor Priority_Colour(const std::string& tag) {
    if (tag == "RETEST") return Picture_Color(&Palette::Cell_Retest);
    if (tag == "RUSH") return Picture_Color(&Palette::Cell_Rush);
    if (tag == "URGENT") return Picture_Color(&Palette::Cell_Urgent);
    if (tag == "CRITICAL") return Picture_Color(&Palette::Cell_Critical);
    return Cell_Normal;
}

// A rounded plate on the colour behind it (JPEG pictures have no transparency).
void Plate(QPainter& p, QSize s, QColor behind, QColor top, QColor bottom, QColor rim) {
    if (behind.isValid()) p.fillRect(QRect(QPoint(0, 0), s), behind);
    QRectF r(QPointF(0, 0), s);
    r.adjust(2, 2, -2, -2);
    const double radius = s.height() * 0.2;
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(rim, 2));
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
}

void Caption(QPainter& p, QRectF r, const QString& text, QColor colour, double height_share) {
    QFont f("Arial");
    f.setBold(true);
    f.setPixelSize(std::max(8, int(r.height() * height_share)));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void Draw_Arrow(QPainter& p, QSize s, bool left) {
    Plate(p, s, Navy, Steel.lighter(130), Ink, Amber);
    const double w = s.width(), h = s.height();
    QPainterPath a;
    const double dir = left ? -1 : 1, cx = w / 2;
    a.moveTo(cx + dir * w * 0.2, h / 2);
    a.lineTo(cx - dir * w * 0.12, h * 0.22);
    a.lineTo(cx - dir * w * 0.12, h * 0.78);
    a.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(a);
}

void Draw_Find(QPainter& p, QSize s) {
    Plate(p, s, Navy, Steel.lighter(130), Ink, Amber);
    const double w = s.width(), h = s.height(), r = h * 0.2;
    const QPointF c(w * 0.46, h * 0.44);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, h * 0.08));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(Amber, h * 0.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(r * 0.75, r * 0.75), c + QPointF(r * 1.7, r * 1.7));
}

void Draw_Filter(QPainter& p, QSize s, const std::string& tag, bool on) {
    const QColor c = Priority_Colour(tag);
    if (on) {
        Plate(p, s, QColor(), c.lighter(115), c.darker(125), Qt::white);
        Caption(p, QRectF(QPointF(0, 0), s), QString::fromStdString(tag), QColor(20, 24, 28), 0.4);
    } else {
        Plate(p, s, QColor(), Steel, Ink.darker(120), c);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(8, s.height() * 0.78, s.width() - 16, s.height() * 0.08), 2, 2);
        Caption(p, QRectF(0, 0, s.width(), s.height() * 0.8), QString::fromStdString(tag), Qt::white, 0.4);
    }
}

void Draw_All_Racks(QPainter& p, QSize s) {
    Plate(p, s, QColor(), Navy.lighter(140), Navy, Amber);
    Caption(p, QRectF(QPointF(0, 0), s), "ALL", Amber, 0.4);
}

void Draw_Save(QPainter& p, QSize s, bool on) {
    Plate(p, s, Slate, on ? Amber.lighter(110) : Steel, on ? Amber.darker(140) : Ink, on ? Qt::white : Steel);
    const double h = s.height(), d = h * 0.5, x = h * 0.3, y = (h - d) / 2;
    // A floppy disk beside the word.
    p.setPen(Qt::NoPen);
    p.setBrush(on ? Navy : Dim_Caption);
    p.drawRoundedRect(QRectF(x, y, d, d), 3, 3);
    p.setBrush(on ? Amber : Ink);
    p.drawRect(QRectF(x + d * 0.22, y, d * 0.56, d * 0.34));
    p.drawRect(QRectF(x + d * 0.18, y + d * 0.58, d * 0.64, d * 0.3));
    Caption(p, QRectF(x + d, 0, s.width() - x - d, h), "SAVE", on ? Navy : Dim_Caption, 0.4);
}

void Draw_Exit(QPainter& p, QSize s) {
    Plate(p, s, Slate, QColor(200, 40, 40), QColor(120, 16, 16), QColor(240, 200, 200));
    const double w = s.width(), h = s.height();
    p.setPen(QPen(Qt::white, w * 0.08, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(w * 0.27, h * 0.27, w * 0.46, h * 0.46), 120 * 16, 300 * 16);
    p.drawLine(QPointF(w / 2, h * 0.2), QPointF(w / 2, h * 0.48));
}

void Draw_Pointer(QPainter& p, QSize s) {
    QPainterPath a;
    a.moveTo(1, 1);
    a.lineTo(s.width() - 1, s.height() / 2.0);
    a.lineTo(1, s.height() - 1);
    a.closeSubpath();
    p.setPen(QPen(Navy, 1));
    p.setBrush(Amber);
    p.drawPath(a);
}

void Draw_Progress(QPainter& p, QSize s, QChar letter, bool done) {
    p.fillRect(QRect(QPoint(0, 0), s), Ink);
    p.setPen(Qt::NoPen);
    p.setBrush(done ? Cell_Normal : Steel.lighter(130));
    p.drawEllipse(QRectF(1, 1, s.width() - 2, s.height() - 2));
    Caption(p, QRectF(QPointF(0, 0), s), QString(letter), done ? Navy : Qt::white, 0.6);
}

void Draw_Keypad(QPainter& p, QSize s) {
    p.fillRect(QRect(QPoint(0, 0), s), Qt::white);
    QRectF r(QPointF(0, 0), s);
    r.adjust(3, 3, -3, -3);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Steel);
    g.setColorAt(1, Ink);
    p.setPen(QPen(Slate, 2));
    p.setBrush(g);
    p.drawRoundedRect(r, 12, 12);
}

} // namespace

std::vector<Artwork> Rack_View_Artwork() {
    const QSize nav(64, 48), filter(104, 48), save(150, 56), progress(14, 14);
    std::vector<Artwork> art{
        {Picture_Nav[0], nav, [](QPainter& p, QSize s) { Draw_Arrow(p, s, true); }},
        {Picture_Nav[1], nav, [](QPainter& p, QSize s) { Draw_Arrow(p, s, false); }},
        {Picture_Nav[2], nav, Draw_Find},
        {Picture_All_Racks, filter, Draw_All_Racks},
        {"bttn_save_idle.jpg", save, [](QPainter& p, QSize s) { Draw_Save(p, s, false); }},
        {"bttn_save_on.jpg", save, [](QPainter& p, QSize s) { Draw_Save(p, s, true); }},
        {Picture_Exit, QSize(56, 56), Draw_Exit},
        {Picture_Pointer, QSize(16, 16), Draw_Pointer},
        {Picture_Keypad, QSize(300, 300), Draw_Keypad},
    };
    for (const char* tag : Priority_Tags) {
        const std::string t = tag;
        art.push_back(
            {"bttn_" + t + "_on.gif", filter, [t](QPainter& p, QSize s) { Draw_Filter(p, s, t, true); }});
        art.push_back(
            {"bttn_" + t + "_off.gif", filter, [t](QPainter& p, QSize s) { Draw_Filter(p, s, t, false); }});
    }
    for (const char* state : {"ready", "done"}) {
        const bool done = std::string(state) == "done";
        for (const char* kind : {"s", "w", "p"}) {
            const QChar letter = QChar(kind[0]).toUpper();
            art.push_back({std::string("cs_") + kind + "_" + state + ".jpg", progress,
                           [letter, done](QPainter& p, QSize s) { Draw_Progress(p, s, letter, done); }});
        }
    }
    return art;
}

} // namespace pcs::ui
