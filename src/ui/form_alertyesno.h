// The modal yes/no question: Yes, No and Exit by touch, or Y, N and O on a keyboard.
#pragma once

#include "shell/modal_models.h"
#include "ui/panel.h"

class QLabel;

namespace pcs::ui {

class Touch_Label;

class Form_AlertYesNo final : public Framed_Panel {
    Q_OBJECT
public:
    Form_AlertYesNo(Globals& g, const Clock& clock, QWidget* parent = nullptr);
    ~Form_AlertYesNo() override;

    // Message, Align and iFontSize are set before the show; intInput is read after it.
    Question& Model() { return model_; }
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Answer(int answer);

    Globals& g_;
    Question model_;
    QLabel* lbl_message_;
};

} // namespace pcs::ui
