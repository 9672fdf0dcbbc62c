// Shared pieces of the screens' tests: globals with the palette and the build's picture folder, and a
// way to answer the modal panel that the code under test is about to open.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "support/fake_ports.h"
#include "ui/pictures.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace pcs::test {

inline Globals Screen_Globals() {
    Globals g;
    Init_Colors(g);
    g.Common_Folder = PCS_PICTURE_DIR;
    return g;
}

// The folder the PNGs of the screens go to.
inline std::filesystem::path Screens_Folder() {
    std::filesystem::create_directories(PCS_SCREENS_DIR);
    return PCS_SCREENS_DIR;
}

// Runs the action on the next modal window that appears (polling the event loop), so a test can
// touch the alert or keyboard that the code under test shows with exec().
// With a name, only a modal window of that object name is taken.
inline void When_Modal(std::function<void(QWidget*)> action, const char* name = nullptr, int attempts = 300) {
    QTimer::singleShot(10, [action, name, attempts] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible() && (!name || w->objectName() == name)) {
            action(w);
        } else if (attempts > 0) {
            When_Modal(action, name, attempts - 1);
        }
    });
}

inline void Touch(QWidget* w) {
    ASSERT_TRUE(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// Saves the widget as it is drawn now to build/screens/<name>.png.
inline void Grab(QWidget* w, const char* name) {
    EXPECT_TRUE(
        w->grab().save(QString::fromStdString((Screens_Folder() / (std::string(name) + ".png")).string())));
}

} // namespace pcs::test
