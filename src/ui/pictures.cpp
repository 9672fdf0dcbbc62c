#include "ui/pictures.h"

#include "ui/touch_label.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace pcs::ui {

std::filesystem::path Default_Picture_Folder() {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "pictures";
}

std::filesystem::path Picture_Path(const Globals& g, const std::string& file_name) {
    return std::filesystem::path(g.Common_Folder) / file_name;
}

struct Picture_Prefetch::State {
    std::mutex Lock;
    std::condition_variable Decoded;
    std::vector<std::string> Order;                // the files, in the order they are decoded
    std::unordered_map<std::string, size_t> Place; // a file's place in that order
    std::unordered_map<std::string, QImage> Done;  // decoded
    size_t Next = 0;                               // the place of the next file to decode
    bool Stop = false;
    std::thread Worker;
};

namespace {

Picture_Prefetch::State* Running_Prefetch = nullptr;

// The decoded picture of that file when the prefetch has it or is about to (waiting for it then); nothing
// when the file is not among its files or it was stopped first.
std::optional<QImage> Take_Prefetched(const std::string& key) {
    Picture_Prefetch::State* s = Running_Prefetch;
    if (!s) return std::nullopt;
    std::unique_lock<std::mutex> guard(s->Lock);
    auto place = s->Place.find(key);
    if (place == s->Place.end()) return std::nullopt;
    s->Decoded.wait(guard, [&] { return s->Stop || s->Next > place->second; });
    auto it = s->Done.find(key);
    if (it == s->Done.end()) return std::nullopt;
    return it->second;
}

} // namespace

Picture_Prefetch::Picture_Prefetch(const std::filesystem::path& folder, const std::vector<std::string>& first)
    : state_(std::make_shared<State>()) {
    if (Running_Prefetch) return;
    std::error_code ec;
    std::vector<std::string> rest;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) rest.push_back(it->path().string());
    std::sort(rest.begin(), rest.end());
    for (const std::string& name : first) {
        const std::string key = (folder / name).string();
        if (auto at = std::find(rest.begin(), rest.end(), key); at != rest.end()) {
            rest.erase(at);
            state_->Order.push_back(key);
        }
    }
    state_->Order.insert(state_->Order.end(), rest.begin(), rest.end());
    for (size_t i = 0; i < state_->Order.size(); ++i)
        state_->Place.emplace(state_->Order[i], i);
    Running_Prefetch = state_.get();
    state_->Worker = std::thread([s = state_] {
        for (size_t i = 0; i < s->Order.size(); ++i) {
            {
                std::lock_guard<std::mutex> guard(s->Lock);
                if (s->Stop) return;
            }
            QImageReader reader(QString::fromStdString(s->Order[i]));
            QImage image = reader.read();
            std::lock_guard<std::mutex> guard(s->Lock);
            if (!image.isNull()) s->Done.emplace(s->Order[i], std::move(image));
            s->Next = i + 1;
            s->Decoded.notify_all();
        }
    });
}

Picture_Prefetch::~Picture_Prefetch() {
    if (Running_Prefetch != state_.get()) return;
    {
        std::lock_guard<std::mutex> guard(state_->Lock);
        state_->Stop = true;
        state_->Decoded.notify_all();
    }
    state_->Worker.join();
    Running_Prefetch = nullptr;
}

QPixmap Read_Picture(const std::filesystem::path& path) {
    QPixmap p;
    if (std::optional<QImage> image = Take_Prefetched(path.string())) return QPixmap::fromImage(*image);
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
