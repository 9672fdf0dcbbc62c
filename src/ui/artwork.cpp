#include "ui/artwork.h"

#include "ui/rack_artwork.h"
#include "ui/station_artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace pcs::ui {

QColor Picture_Color(Color Palette::*which) {
    const Color c = Station_Palette.*which;
    return QColor(c.R, c.G, c.B);
}

namespace {

const QColor Navy = Picture_Color(&Palette::Color_Navy), Steel = Picture_Color(&Palette::Color_Steel),
             Slate = Picture_Color(&Palette::Color_Slate), Amber = Picture_Color(&Palette::Color_Amber),
             Ink = Picture_Color(&Palette::Color_Ink), Sky = Picture_Color(&Palette::Color_Sky),
             Plate_Rim = Picture_Color(&Palette::Plate_Rim), Glass_Rim = Picture_Color(&Palette::Glass_Rim),
             Cap_Grey = Picture_Color(&Palette::Cap_Grey);

void Draw_Splash(QPainter& p, QSize s) {
    const QRectF r(QPointF(0, 0), s);
    QLinearGradient bg(r.topLeft(), r.bottomLeft());
    bg.setColorAt(0, Navy.lighter(125));
    bg.setColorAt(1, QColor(8, 20, 32));
    p.setPen(QPen(Steel, 2));
    p.setBrush(bg);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 18, 18);

    // A cloud of particles drifting through the light beam of a counter, fixed so every build matches.
    uint32_t seed = 4406;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1 << 24);
    };
    QLinearGradient beam(QPointF(0, s.height() * 0.56), QPointF(0, s.height() * 0.72));
    QColor light = Sky;
    light.setAlpha(0);
    beam.setColorAt(0, light);
    light.setAlpha(70);
    beam.setColorAt(0.5, light);
    light.setAlpha(0);
    beam.setColorAt(1, light);
    p.fillRect(QRectF(0, s.height() * 0.56, s.width(), s.height() * 0.16), beam);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 90; ++i) {
        double x = 20 + next() * (s.width() - 40), y = 20 + next() * (s.height() - 40);
        double d = 1.5 + std::pow(next(), 3) * 9;
        QColor c = next() < 0.25 ? Amber : Sky;
        c.setAlpha(60 + int(next() * 120));
        p.setBrush(c);
        p.drawEllipse(QPointF(x, y), d, d);
    }

    // A sample bottle on the left.
    Draw_Sample_Bottle(p, QRectF(s.width() * 0.08, s.height() * 0.30, s.width() * 0.14, s.height() * 0.58),
                       Amber, Steel.lighter(130));

    // The station's name.
    const double tx = s.width() * 0.29;
    QFont title("Eurostile");
    title.setBold(true);
    title.setPixelSize(int(s.height() * 0.135));
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(tx, s.height() * 0.30, s.width() - tx - 20, s.height() * 0.2),
               Qt::AlignLeft | Qt::AlignVCenter, "PARTICLE COUNT");
    p.setPen(Amber);
    p.drawText(QRectF(tx, s.height() * 0.47, s.width() - tx - 20, s.height() * 0.2),
               Qt::AlignLeft | Qt::AlignVCenter, "STATION");
    QFont sub("Arial");
    sub.setPixelSize(int(s.height() * 0.055));
    p.setFont(sub);
    p.setPen(QColor(200, 214, 228));
    p.drawText(QRectF(tx, s.height() * 0.70, s.width() - tx - 20, s.height() * 0.1),
               Qt::AlignLeft | Qt::AlignVCenter, "Oil analysis laboratory");
    p.drawText(QRectF(tx, s.height() * 0.79, s.width() - tx - 20, s.height() * 0.1),
               Qt::AlignLeft | Qt::AlignVCenter, "ISO 4406 cleanliness codes");
}

void Icon_Plate(QPainter& p, QSize s) {
    QRectF r(QPointF(0, 0), s);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Steel.lighter(120));
    g.setColorAt(1, Ink);
    p.setPen(QPen(Plate_Rim, 2));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(2, 2, -2, -2), s.width() * 0.16, s.width() * 0.16);
}

void Draw_Lock(QPainter& p, QSize s) {
    Icon_Plate(p, s);
    const double w = s.width(), h = s.height();
    p.setPen(QPen(Qt::white, w * 0.08, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(w * 0.32, h * 0.16, w * 0.36, h * 0.4), 0, 180 * 16);
    p.drawLine(QPointF(w * 0.32, h * 0.36), QPointF(w * 0.32, h * 0.46));
    p.drawLine(QPointF(w * 0.68, h * 0.36), QPointF(w * 0.68, h * 0.46));
    p.setPen(Qt::NoPen);
    p.setBrush(Amber);
    p.drawRoundedRect(QRectF(w * 0.22, h * 0.44, w * 0.56, h * 0.40), w * 0.06, w * 0.06);
    p.setBrush(Navy);
    p.drawEllipse(QPointF(w * 0.5, h * 0.6), w * 0.07, w * 0.07);
    p.drawRect(QRectF(w * 0.47, h * 0.6, w * 0.06, h * 0.14));
}

void Draw_Gear(QPainter& p, QSize s) {
    Icon_Plate(p, s);
    const double w = s.width(), h = s.height();
    const QPointF c(w / 2, h / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        p.drawRoundedRect(QRectF(-w * 0.075, -w * 0.36, w * 0.15, w * 0.2), 2, 2);
        p.restore();
    }
    p.drawEllipse(c, w * 0.25, w * 0.25);
    p.setBrush(Amber);
    p.drawEllipse(c, w * 0.11, w * 0.11);
}

void Draw_Iso(QPainter& p, QSize s) {
    Icon_Plate(p, s);
    const double w = s.width(), h = s.height();
    QPainterPath page;
    page.moveTo(w * 0.24, h * 0.14);
    page.lineTo(w * 0.62, h * 0.14);
    page.lineTo(w * 0.78, h * 0.30);
    page.lineTo(w * 0.78, h * 0.86);
    page.lineTo(w * 0.24, h * 0.86);
    page.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(190, 200, 210));
    QPainterPath fold;
    fold.moveTo(w * 0.62, h * 0.14);
    fold.lineTo(w * 0.62, h * 0.30);
    fold.lineTo(w * 0.78, h * 0.30);
    fold.closeSubpath();
    p.drawPath(fold);
    QFont f("Arial");
    f.setBold(true);
    f.setPixelSize(int(h * 0.22));
    p.setFont(f);
    p.setPen(Navy);
    p.drawText(QRectF(w * 0.24, h * 0.40, w * 0.54, h * 0.26), Qt::AlignCenter, "ISO");
    p.setPen(QPen(Amber, h * 0.035));
    p.drawLine(QPointF(w * 0.32, h * 0.74), QPointF(w * 0.70, h * 0.74));
}

void Draw_Cap(QPainter& p, QSize s, QColor top, QColor bottom, QColor border) {
    Draw_Raised_Plate(p, s, top, bottom, border, 0.14);
    const QRectF r = QRectF(QPointF(0, 0), s).adjusted(3, 3, -3, -3);
    const double radius = s.height() * 0.14;
    p.setPen(QPen(QColor(255, 255, 255, 60), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(3, 3, -3, -3), radius * 0.8, radius * 0.8);
}

} // namespace

void Draw_Sample_Bottle(QPainter& p, const QRectF& b, const QColor& oil, const QColor& cap) {
    // Body with oil, a glass highlight, then the cap.
    const double r = b.width() * 0.18;
    p.setPen(QPen(Glass_Rim, 2));
    p.setBrush(QColor(255, 255, 255, 50));
    p.drawRoundedRect(QRectF(b.left(), b.top() + b.height() * 0.2, b.width(), b.height() * 0.8), r, r);
    QLinearGradient g(QPointF(0, b.top() + b.height() * 0.4), QPointF(0, b.bottom()));
    g.setColorAt(0, oil.lighter(115));
    g.setColorAt(1, oil.darker(140));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(b.left() + 2, b.top() + b.height() * 0.42, b.width() - 4, b.height() * 0.58 - 2),
                      r * 0.8, r * 0.8);
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawRoundedRect(
        QRectF(b.left() + b.width() * 0.12, b.top() + b.height() * 0.28, b.width() * 0.12, b.height() * 0.6),
        3, 3);
    p.setPen(QPen(cap.darker(150), 1.5));
    QLinearGradient cg(QPointF(b.left(), 0), QPointF(b.right(), 0));
    cg.setColorAt(0, cap.lighter(130));
    cg.setColorAt(1, cap.darker(120));
    p.setBrush(cg);
    p.drawRoundedRect(QRectF(b.left() + b.width() * 0.18, b.top(), b.width() * 0.64, b.height() * 0.22), 4,
                      4);
}

void Draw_Raised_Plate(QPainter& p, QSize s, const QColor& top, const QColor& bottom, const QColor& border,
                       double radius_share) {
    const QRectF r = QRectF(QPointF(0, 0), s).adjusted(3, 3, -3, -3);
    const double radius = s.height() * radius_share;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(r.translated(0, 2), radius, radius);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(border, 2.5));
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
}

std::vector<Artwork> Station_Artwork() {
    std::vector<Artwork> art{
        {Picture_Splash, QSize(760, 420), Draw_Splash},
        {Picture_Login_Icon, QSize(96, 96), Draw_Lock},
        {Picture_Config_Icon, QSize(96, 96), Draw_Gear},
        {Picture_Iso_Icon, QSize(96, 96), Draw_Iso},
        {Picture_Key_Cap, QSize(120, 120),
         [](QPainter& p, QSize s) { Draw_Cap(p, s, QColor(104, 116, 128), QColor(58, 66, 74), Cap_Grey); }},
        {Picture_Key_Cap_Cmd, QSize(120, 120),
         [](QPainter& p, QSize s) { Draw_Cap(p, s, Navy.lighter(150), Navy, Amber); }},
        {Picture_Button, QSize(240, 96),
         [](QPainter& p, QSize s) { Draw_Cap(p, s, Steel.lighter(125), Slate.darker(130), Amber); }},
    };
    for (Artwork& a : Bath_Station_Artwork())
        art.push_back(std::move(a));
    for (Artwork& a : Rack_View_Artwork())
        art.push_back(std::move(a));
    return art;
}

bool Write_Artwork(const std::filesystem::path& folder, const std::vector<Artwork>& art) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    bool ok = true;
    for (const Artwork& a : art) {
        QImage img(a.Size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            a.Draw(p, a.Size);
        }
        // Qt writes no GIF: such a picture keeps its documented name and holds PNG data, which the
        // reader recognises by its content.
        const QString path = QString::fromStdString((folder / a.Name).string());
        ok = (img.save(path) || img.save(path, "PNG")) && ok;
    }
    return ok;
}

} // namespace pcs::ui
