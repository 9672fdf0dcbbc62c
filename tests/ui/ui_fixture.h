// Shared pieces of the screens' tests: globals with the palette and the build's picture folder, and a
// way to answer the modal panel that the code under test is about to open.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "support/fake_ports.h"
#include "ui/pictures.h"

#include <QApplication>
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

// Runs the action on the next modal window that appears (polling the event loop), so a test can
// touch the alert or keyboard that the code under test shows with exec().
inline void When_Modal(std::function<void(QWidget*)> action, int attempts = 200) {
    QTimer::singleShot(10, [action, attempts] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible()) {
            action(w);
        } else if (attempts > 0) {
            When_Modal(action, attempts - 1);
        }
    });
}

// The folder the PNGs of the screens go to.
inline std::filesystem::path Screens_Folder() {
    std::filesystem::create_directories(PCS_SCREENS_DIR);
    return PCS_SCREENS_DIR;
}

} // namespace pcs::test
