// The look the shell's panels share: a white border around a dark ink panel, no window frame, so a
// panel reads as part of the station on a touch screen rather than as a desktop window.
#pragma once

#include "common/globals.h"

#include <QDialog>
#include <QString>

class QPushButton;
#include <string>

namespace pcs::ui {

class Touch_Label;

class Framed_Panel : public QDialog {
    Q_OBJECT
public:
    explicit Framed_Panel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
    // Centres the panel on its owner's window, or on the screen without one.
    void Centre_On_Owner();
};

// A touch button of a panel: the panel button picture behind a large caption.
Touch_Label* Make_Panel_Button(const Globals& g, const QString& object_name, const QString& caption,
                               QWidget* parent);

// A command button (cmd_) sized for a gloved finger: amber-edged, caption in bold Arial. The accessible
// name is the caption without its accelerator mark.
QPushButton* Make_Touch_Button(const Globals& g, const QString& object_name, const QString& caption,
                               QWidget* parent, const std::string& font = "Arial", int size = 16);

} // namespace pcs::ui
