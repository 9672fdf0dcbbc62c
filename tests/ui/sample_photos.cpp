#include "sample_photos.h"

#include "ui_fixture.h"

#include <QImage>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace pcs::test {

bool Grab_Screen(QWidget& w, const std::string& name) {
    return w.grab().save(QString::fromStdString((Screens_Folder() / (name + ".png")).string()));
}

void Write_Sample_Photos(const std::filesystem::path& folder, const std::string& lab, bool bottom,
                         bool colour) {
    std::filesystem::create_directories(folder);
    if (bottom) {
        QImage img(640, 480, QImage::Format_RGB32);
        img.fill(QColor(30, 30, 32));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(320, 240), 200);
        g.setColorAt(0, QColor(215, 150, 40));
        g.setColorAt(1, QColor(120, 70, 15));
        p.setBrush(g);
        p.setPen(QPen(QColor(200, 200, 200), 6));
        p.drawEllipse(QPointF(320, 240), 200, 200);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 25, 10, 200));
        uint32_t seed = 7;
        for (int i = 0; i < 60; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double a = (seed >> 8) % 628 / 100.0, r = (seed >> 4) % 180;
            p.drawEllipse(QPointF(320 + r * std::cos(a), 240 + r * std::sin(a)), 2 + i % 4, 2 + i % 3);
        }
        p.end();
        img.save(QString::fromStdString((folder / ("BTM_" + lab + "_01.jpg")).string()));
    }
    if (colour) {
        QImage img(640, 480, QImage::Format_RGB32);
        img.fill(QColor(235, 235, 230));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(160, 160, 160), 4));
        p.setBrush(QColor(250, 250, 250));
        p.drawRoundedRect(QRectF(240, 60, 160, 380), 24, 24);
        QLinearGradient oil(QPointF(0, 180), QPointF(0, 440));
        oil.setColorAt(0, QColor(225, 165, 45));
        oil.setColorAt(1, QColor(150, 90, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(oil);
        p.drawRoundedRect(QRectF(246, 180, 148, 254), 20, 20);
        p.end();
        img.save(QString::fromStdString((folder / ("CLR_" + lab + "_01.jpg")).string()));
    }
}

} // namespace pcs::test
