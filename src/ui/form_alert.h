// The modal alert: a message and one OK. The station cannot lock while it is open.
#pragma once

#include "shell/modal_models.h"
#include "ui/panel.h"

class QLabel;

namespace pcs::ui {

class Touch_Label;

class Form_Alert final : public Framed_Panel {
    Q_OBJECT
public:
    Form_Alert(Globals& g, const Clock& clock, QWidget* parent = nullptr);
    ~Form_Alert() override;

    Alert_Box& Model() { return model_; }
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    Globals& g_;
    Alert_Box model_;
    QLabel* lbl_message_;
    Touch_Label* lbl_ok_;
};

} // namespace pcs::ui
