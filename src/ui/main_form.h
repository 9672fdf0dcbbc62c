// The particle-count station's main form: the bath of thirty slots, the result table of the last ten
// counts, the rack header, the refresh picture and the debug check box. It draws the station model,
// forwards touches to it, runs its one-second bath timer and shows the action panel for each run.
#pragma once

#include "station/action_panel.h"
#include "station/station.h"

#include <QWidget>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QTimer;

namespace pcs {
class Serial_Port;
}

namespace pcs::ui {

class Bath_Cell;
class Touch_Label;
class form_Action;
class form_pcGrid;

// The shared objects the main form works with; all outlive it.
struct Form_Test_Parts {
    Globals& G;
    const Clock& Time;
    Alert_Port& Alerts;
    Status_Port& Status;
    db::Database& Db;
    Rack& Current_Rack;
    Batch& Bath_Batch;
    PrtCount& Result;
    Employee& Technician;
    Count_Logs& Logs;
    Serial_Port& Counter_Port; // opened by each action panel for its run
};

class Form_Test final : public QWidget, private Station_View, private Action_Panel_Port, private Panel_Host {
    Q_OBJECT
public:
    explicit Form_Test(const Form_Test_Parts& parts, QWidget* parent = nullptr);
    ~Form_Test() override;

    Station& Model() { return *station_; }
    form_pcGrid& History_Window() { return *pcgrid_; }
    // The action panel of the run in progress, or null.
    form_Action* Action_Form() const { return action_; }

    // The form load: settings, the stored bath, the history window. The pictures stay in the picture
    // folder already set; the program's folder holds the settings and the logs.
    void Load(const std::filesystem::path& app_folder);

    // Draws the model: every slot, the result table and the rack header.
    void Draw();

    // The debug box, which stops the counter being driven, is offered only on a station started for
    // development; hidden otherwise.
    void Allow_Debug(bool allowed);

    // Puts the history window at its home, or without one beside the form, at the bottom of the form's
    // screen with its right edge on the form's left edge. Done at its first showing and when the form
    // moves, until the shell gives it a place of its own (hibernation).
    void Place_History_Window();
    // The count history's own place on the screen (under the rack view's panel); without one it stands
    // left of this form at the screen's bottom.
    void Set_History_Home(QPoint home);

signals:
    // The station's Init laid the form out: what stands beside it (the rack view, the histogram) is
    // placed by whoever joined them.
    void Main_Form_Laid_Out();
    // The rack of that name is to be shown in the rack view (the rack name touched).
    void Rack_Requested(const std::string& rack_desc);

protected:
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    // Station_View
    void Refresh() override { Draw(); }
    void Laid_Out() override { emit Main_Form_Laid_Out(); }
    void Histogram_Changed() override;
    void Show_History_Window() override;
    void Hide_History_Window() override;
    Window_Place History_Window_Place() const override;
    void Move_History_Window(const Window_Place& place) override;
    void Open_Rack_View(const std::string& rack_desc) override;
    void Bath_Timer_Enabled(bool enabled) override;
    // Action_Panel_Port
    Panel_Outcome Show_Action_Panel(const Run& run, int16_t sIndex) override;
    // Panel_Host: the debug box keeps every command back; a report no panel started goes to the log,
    // even if the station ends before the panel closes.
    bool Counter_Driven() const override;
    void Keep_Stray_Count(const std::string& line) override { station_->Keep_Stray_Count(line); }
    void Close_Last_Panel() noexcept;

    void Build_Bath();
    void Build_Results();
    void Build_Header();
    void Draw_Slot(int i);
    template <class F> void Touch(F&& f);

    struct Slot_Widgets {
        Touch_Label* Picture = nullptr;
        Bath_Cell* Lab_Number = nullptr;
        Bath_Cell* State = nullptr;
        Bath_Cell* History = nullptr;
        Bath_Cell* Oldest = nullptr;
        std::string Drawn_Picture;
    };

    Form_Test_Parts parts_;
    std::unique_ptr<Station> station_;
    form_pcGrid* pcgrid_ = nullptr;
    bool history_placed_ = false; // a place given by the shell (hibernation) stays where it was put
    std::optional<QPoint> history_home_;
    form_Action* action_ = nullptr;
    std::unique_ptr<form_Action> last_panel_; // its port still open until the count has been drawn
    QTimer* bath_timer_;

    QFrame* shp_Bath_;
    std::array<Slot_Widgets, Bath_Slot_Count> slots_{};
    QFrame* shp_Results_;
    std::array<QLabel*, 8> lbl_Caption_{};
    std::array<QLabel*, Result_Table::Row_Count> lbl_RunId_{};
    std::array<std::array<QLabel*, 8>, Result_Table::Row_Count> lbl_Value_{};
    QFrame* shp_RackName_;
    QFrame* shp_Countdown_;
    QFrame* shp_Outstanding_;
    Touch_Label* lbl_RackName_;
    QLabel* lbl_Countdown_;
    QLabel* lbl_Outstanding_;
    QLabel* lbl_Countdown_Caption_;
    QLabel* lbl_Outstanding_Caption_;
    Touch_Label* img_Refresh_;
    QCheckBox* chk_debug_;
    QLabel* lbl_Debug_; // shown while the debug box is ticked
};

} // namespace pcs::ui
