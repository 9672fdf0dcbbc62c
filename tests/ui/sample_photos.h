// The sample photographs the lab's camera leaves on the sample-image share, and the grab of a form
// for a person to look at.
#pragma once

#include <QWidget>

#include <filesystem>
#include <string>

namespace pcs::test {

// Saves the widget as <name>.png in the screens folder; false when it could not be written.
bool Grab_Screen(QWidget& w, const std::string& name);

// A bottom view and a colour view of an oil sample, as the lab's camera leaves them on the share.
void Write_Sample_Photos(const std::filesystem::path& folder, const std::string& lab_number, bool bottom,
                         bool colour);

} // namespace pcs::test
