#include "ui/pictures.h"

#include "ui/touch_label.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <cmath>
#include <unordered_map>

namespace pcs::ui {

std::filesystem::path Default_Picture_Folder() {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "pictures";
}

std::filesystem::path Picture_Path(const Globals& g, const std::string& file_name) {
    return std::filesystem::path(g.Common_Folder) / file_name;
}

QPixmap Read_Picture(const std::filesystem::path& path) {
    QPixmap p;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return p;
    p.load(QString::fromStdString(path.string()));
    return p;
}

const QPixmap& Cached_Picture(const std::filesystem::path& path) {
    static std::unordered_map<std::string, QPixmap> cache;
    static const QPixmap missing;
    const std::string key = path.string();
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    QPixmap p = Read_Picture(path);
    if (p.isNull()) return missing;
    return cache.emplace(key, std::move(p)).first->second;
}

void Load_Picture(QWidget* control, const std::filesystem::path& path) {
    if (!control) return;
    const QPixmap& p = Cached_Picture(path);
    if (p.isNull()) return;
    if (auto* touch = qobject_cast<Touch_Label*>(control))
        touch->Set_Picture(p);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setPixmap(p);
}

void Draw_Stretched(QPainter& p, const QRect& t, const QPixmap& pic) {
    if (pic.isNull() || t.isEmpty()) return;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double scale = double(t.height()) / pic.height();
    const int sc = pic.height() / 4;                                                        // source corner
    const int tc = std::min({int(std::lround(sc * scale)), t.width() / 2, t.height() / 2}); // target corner
    const int sw = pic.width(), sh = pic.height();
    const int xs[] = {0, sc, sw - sc, sw}, ys[] = {0, sc, sh - sc, sh};
    const int xt[] = {t.left(), t.left() + tc, t.right() + 1 - tc, t.right() + 1};
    const int yt[] = {t.top(), t.top() + tc, t.bottom() + 1 - tc, t.bottom() + 1};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            QRect src(xs[i], ys[j], xs[i + 1] - xs[i], ys[j + 1] - ys[j]);
            QRect dst(xt[i], yt[j], xt[i + 1] - xt[i], yt[j + 1] - yt[j]);
            if (!src.isEmpty() && !dst.isEmpty()) p.drawPixmap(dst, pic, src);
        }
    p.restore();
}

void Draw_Neutral_Frame(QPainter& p, const QRect& t) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 128, 136), 1, Qt::DashLine));
    p.setBrush(QColor(60, 66, 72, 160));
    p.drawRoundedRect(QRectF(t).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.restore();
}

} // namespace pcs::ui
