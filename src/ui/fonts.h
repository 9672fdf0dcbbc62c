// Fonts by the names the screens use. Names Debian lacks are mapped to close free fonts that the
// setup script installs: "Eurostile" to Play, "Arial" to Liberation Sans, "Arial Narrow" to
// Liberation Sans Narrow.
#pragma once

#include "common/globals.h"
#include "common/ports.h"

#include <QColor>
#include <QFont>
#include <cstdint>
#include <string>

class QWidget;

namespace pcs::ui {

// Registers the substitutes with Qt; once per process, before the first form.
void Install_Font_Substitutes();

QFont Station_Font(const std::string& name, int size, bool bold);
inline QColor To_QColor(Color c) {
    return QColor(c.R, c.G, c.B);
}
inline QColor Rgb_To_QColor(uint32_t rgb) {
    return QColor(int(rgb >> 16) & 0xff, int(rgb >> 8) & 0xff, int(rgb) & 0xff);
}

// Font name, bold, text colour and size, then the caption when it is not empty. What the control
// cannot take is skipped, so labels, buttons, text boxes and lists are served alike.
void Set_Font(QWidget* control, const std::string& caption, const std::string& font_name, int16_t size,
              bool bold, QColor color);
inline void Set_Font(QWidget* control, const std::string& caption, const Font_Spec& f) {
    Set_Font(control, caption, f.Name, static_cast<int16_t>(f.Size), f.Bold, Rgb_To_QColor(f.Rgb));
}

} // namespace pcs::ui
