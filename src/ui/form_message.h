// The modeless status banner of long operations ("SAVING RESULTS"), driven by Show_Status.
#pragma once

#include "ui/panel.h"

class QLabel;

namespace pcs::ui {

class Form_Message final : public Framed_Panel {
    Q_OBJECT
public:
    explicit Form_Message(QWidget* owner = nullptr);
    QLabel* lbl_message() const { return lbl_message_; }
    // Shows the panel over its owner without taking the focus.
    void Show_Over_Owner();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QLabel* lbl_message_;
};

} // namespace pcs::ui
