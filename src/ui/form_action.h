// The sample action panel: the modal panel a run is carried out in. It draws the action panel model
// and forwards touches; the counter's receive events arrive through the serial port while it is shown.
#pragma once

#include "station/action_panel.h"
#include "ui/panel.h"

#include <array>

class QFrame;
class QLabel;

namespace pcs {
class Settings_Collection;
}

namespace pcs::ui {

class Touch_Label;

class form_Action final : public Framed_Panel, private Action_Panel_View {
    Q_OBJECT
public:
    form_Action(Globals& g, const Clock& clock, Alert_Port& alerts, Serial_Port& port,
                Sample_Remover& remover, const Settings_Collection& settings, Panel_Host* host = nullptr,
                QWidget* parent = nullptr);
    ~form_Action() override;

    // sLabNumber and sIndex are set before the show; Action and Bffr are read after it.
    Action_Panel& Panel() { return panel_; }
    // The caller's unload after reading the outcome (the panel's own rules, also at destruction).
    void Unload() { panel_.Unload(); }
    void Release_Station() { panel_.Release_Station(); }

    // Escape and the window's close go through the close rule: only while the counter is idle.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void Hide_Panel() override;
    void Refresh() override;
    void Lay_Out();
    void Show_Sample_Picture(int box, bool exists, const std::filesystem::path& path);
    template <class F> void Touch(F&& f);

    Globals& g_;
    Alert_Port& alerts_;
    const Settings_Collection& settings_;
    Action_Panel panel_;
    bool loading_ = false;

    QLabel* lbl_Title_;
    QLabel* lbl_LabNumber_;
    QLabel* lbl_Prompt_;
    std::array<Touch_Label*, 5> img_action_{};
    std::array<Touch_Label*, 5> lbl_action_{};
    std::array<Touch_Label*, 5> lbl_action_desc_{};
    Touch_Label* img_Remove_;
    Touch_Label* lbl_Remove_;
    std::array<QLabel*, 2> img_sample_{};
    QLabel* lbl_Banner_;
    QFrame* shpDilution_;
    Touch_Label* lblDilution_;
    Touch_Label* img_RunSample_;
    Touch_Label* img_Close_;
    std::array<QLabel*, 3> imgCounter_{}; // the run button's three looks, never shown
};

} // namespace pcs::ui
