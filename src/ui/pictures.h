// Pictures are files in one picture folder (Globals::Common_Folder); the build draws the station's
// own into the folder beside the binaries. A missing picture never stops a form.
#pragma once

#include "common/globals.h"

#include <QPixmap>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QWidget;
class QPainter;
class QRect;

namespace pcs::ui {

// The folder beside the program where the build put the pictures.
std::filesystem::path Default_Picture_Folder();
// The picture folder's file of that name.
std::filesystem::path Picture_Path(const Globals& g, const std::string& file_name);

// The picture at the path; a null pixmap when it is missing or unreadable.
QPixmap Read_Picture(const std::filesystem::path& path);
// The picture at the path, read once per process: a redraw never goes back to the disk for it. A picture
// that is missing is looked for again the next time (a null pixmap until then).
const QPixmap& Cached_Picture(const std::filesystem::path& path);

// Decodes the pictures of a folder on a thread of its own, the named ones first and then every other
// file there, while the screen's thread builds the forms that show them: Read_Picture and Cached_Picture
// take a decoded one from it (waiting when it is still being decoded) instead of reading the file. At
// most one runs; it stops and is joined when destroyed. Made and destroyed on the screen's thread.
class Picture_Prefetch {
public:
    Picture_Prefetch(const std::filesystem::path& folder, const std::vector<std::string>& first);
    ~Picture_Prefetch();
    Picture_Prefetch(const Picture_Prefetch&) = delete;
    Picture_Prefetch& operator=(const Picture_Prefetch&) = delete;
    struct State;

private:
    std::shared_ptr<State> state_;
};

// Sets the control's picture from the file; a missing or unreadable file leaves the control as it was.
// Serves Touch_Label (its picture) and plain labels (their pixmap); other controls are left alone.
void Load_Picture(QWidget* control, const std::filesystem::path& path);

// Draws a pixmap into a rectangle keeping its corners unstretched (a fourth of the picture's height),
// so one key cap serves keys of every width.
void Draw_Stretched(QPainter& p, const QRect& target, const QPixmap& picture);
// The frame drawn where a picture is missing.
void Draw_Neutral_Frame(QPainter& p, const QRect& target);

} // namespace pcs::ui
