#include "demo_script.h"

#include "shell/key_input.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pcs::app {

namespace {

QWidget* Visible_Window(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == name) return w;
    return nullptr;
}

void Touch(QWidget* w) {
    if (w) QMetaObject::invokeMethod(w, "clicked");
}

} // namespace

Demo_Script::Demo_Script(QWidget* login_screen, QString folder, QString password)
    : login_(login_screen), folder_(std::move(folder)), password_(std::move(password)) {}

void Demo_Script::Start() {
    QDir().mkpath(folder_);
    QTimer::singleShot(800, this, [this] {
        login_->grab().save(folder_ + "/login.png");
        std::printf("pcstation: saved %s/login.png\n", qPrintable(folder_));
        std::fflush(stdout);
        if (password_.isEmpty()) return;
        // The keyboard is modal: its keys are touched from a timer running inside its loop.
        QTimer::singleShot(300, this, [this] { Type_Password(); });
        if (auto* login = login_->findChild<QPushButton*>("cmd_Login")) login->click();
    });
}

bool Type_On_Keyboard(const QString& password) {
    QWidget* kb = Visible_Window("Form_KeyInput");
    if (!kb) return false;
    for (QChar c : password) {
        const std::string want(1, static_cast<char>(std::toupper(c.toLatin1())));
        for (int i = 0; i < Key_Count; ++i)
            if (want == Key_Tags[static_cast<size_t>(i)])
                Touch(kb->findChild<QWidget*>(QString("lbl_Key_%1").arg(i)));
    }
    Touch(kb->findChild<QWidget*>("lbl_Key_52")); // Enter
    return true;
}

void Demo_Script::Type_Password() {
    if (!Type_On_Keyboard(password_)) {
        QTimer::singleShot(100, this, [this] { Type_Password(); });
        return;
    }
    QTimer::singleShot(2500, this, [this] { Save_Working_Forms(); });
}

// The working forms are windows of their own: drawn one over the other as they stand on the screen.
QImage Working_Forms_Picture() {
    QRect all;
    std::vector<QWidget*> shown;
    for (const char* name : {"Form_Rack", "Form_Test", "form_pcGrid", "Form_Header"})
        if (QWidget* w = Visible_Window(name)) {
            shown.push_back(w);
            all |= w->frameGeometry();
        }
    if (shown.empty()) return {};
    QImage image(all.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    for (QWidget* w : shown)
        p.drawPixmap(w->pos() - all.topLeft(), w->grab());
    p.end();
    return image;
}

void Demo_Script::Save_Working_Forms() {
    const QImage image = Working_Forms_Picture();
    if (image.isNull()) {
        std::fprintf(stderr, "pcstation: the demo login did not show the working forms\n");
        return;
    }
    image.save(folder_ + "/working.png");
    std::printf("pcstation: saved %s/working.png\n", qPrintable(folder_));
    std::fflush(stdout);
}

} // namespace pcs::app
