// What the station's screen tests share: the pictures folder the build drew, the grabs a person looks
// at, and the sample photographs of the share.
#pragma once

#include <QWidget>

#include <filesystem>
#include <string>

namespace pcs::test {

// Saves the widget as SCREENS_DIR/<name>.png; false when it could not be written.
bool Grab_Screen(QWidget& w, const std::string& name);

// A bottom view and a colour view of an oil sample, as the lab's camera leaves them on the share.
void Write_Sample_Photos(const std::filesystem::path& folder, const std::string& lab_number, bool bottom,
                         bool colour);

} // namespace pcs::test
