// The on-screen keyboard: 53 touch keys above an input box, shown modally; the caller reads isEntered
// and UserInput from the model once the panel has hidden itself.
#pragma once

#include "common/ports.h"
#include "shell/key_input.h"
#include "ui/panel.h"

#include <array>

class QLabel;
class QLineEdit;

namespace pcs::ui {

class Touch_Label;

class Form_KeyInput final : public Framed_Panel, private Key_Input_View {
    Q_OBJECT
public:
    Form_KeyInput(const Globals& g, Alert_Port& alerts, QWidget* parent = nullptr);

    Key_Input& Model() { return model_; }
    // lbl_Desc's caption, restyled in the prompt's font.
    void Set_Prompt(const std::string& caption);
    // The input box's masking character ("*" for a password); "" shows the text.
    void Set_Mask(const std::string& mask);

    QLineEdit* txt_Input() const { return txt_Input_; }
    Touch_Label* lbl_Key(int index) const { return keys_.at(static_cast<size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void Focus_Input() override;
    void Type_Text(const std::string& text) override;
    void Delete_Right() override;
    std::string Input_Text() const override;
    void Hide_Panel() override { accept(); }
    void Caps_Changed() override;
    void Lay_Out_Keys();

    const Globals& g_;
    Alert_Port& alerts_;
    Key_Input model_{*this};
    QLabel* lbl_Desc_;
    QLabel* lbl_CAPS_;
    QLineEdit* txt_Input_;
    std::array<Touch_Label*, Key_Count> keys_{};
};

} // namespace pcs::ui
