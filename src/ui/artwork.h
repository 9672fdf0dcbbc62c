// The station's own pictures, drawn by code: the build writes them into the picture folder, so a
// form only ever loads files.
#pragma once

#include "common/palette.h"

#include <QSize>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QColor;
class QPainter;
class QRectF;

namespace pcs::ui {

struct Artwork {
    std::string Name; // the file name in the picture folder
    QSize Size;
    std::function<void(QPainter&, QSize)> Draw;
};

// File names of the shell's pictures.
inline constexpr const char* Picture_Splash = "splash.png";
inline constexpr const char* Picture_Login_Icon = "img_login.png";
inline constexpr const char* Picture_Config_Icon = "img_config.png";
inline constexpr const char* Picture_Iso_Icon = "img_iso.png";
inline constexpr const char* Picture_Key_Cap = "key_cap.png";
inline constexpr const char* Picture_Key_Cap_Cmd = "key_cap_cmd.png";
inline constexpr const char* Picture_Button = "bttn_panel.png";

// A colour of the station's palette as the painter takes it.
QColor Picture_Color(Color Palette::*which);

// A sample bottle in the rectangle: glass body with the oil in its lower half, a highlight, the cap.
void Draw_Sample_Bottle(QPainter& p, const QRectF& body, const QColor& oil, const QColor& cap);
// A raised, rounded plate filling the picture: a soft shadow, a top-to-bottom gradient, a border.
void Draw_Raised_Plate(QPainter& p, QSize s, const QColor& top, const QColor& bottom, const QColor& border,
                       double radius_share);

// Every picture the screens name. Screens of their own add their list here.
std::vector<Artwork> Station_Artwork();

// Draws each picture into the folder (made if missing); false when one could not be written.
bool Write_Artwork(const std::filesystem::path& folder, const std::vector<Artwork>& art);

} // namespace pcs::ui
