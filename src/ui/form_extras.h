// The toolbox the header offers: run a check standard, reload the settings, run a single sample.
#pragma once

#include "shell/modal_models.h"
#include "ui/panel.h"

#include <array>

class QPushButton;

namespace pcs::ui {

class Form_Extras final : public Framed_Panel {
    Q_OBJECT
public:
    // Loading stops the idle lock; unloading (destruction) starts it again.
    Form_Extras(const Globals& g, Hibernation_Timer& timer, QWidget* parent = nullptr);
    ~Form_Extras() override;

    const std::string& Action() const { return model_.Action; }
    QPushButton* cmd_Action(int index) const { return buttons_.at(static_cast<size_t>(index)); }

protected:
    void showEvent(QShowEvent* e) override;

private:
    Toolbox model_;
    std::array<QPushButton*, Toolbox_Buttons.size()> buttons_{};
};

} // namespace pcs::ui
