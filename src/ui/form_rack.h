// The rack view: the full-screen window behind the station's working forms. It draws the rack view
// model (the rack held, its twenty cells, navigation, priority filters, save and exit), forwards
// touches to it, shows the rack search modally and owns the header bar and the main form as windows
// that stay above it.
#pragma once

#include "views/rack_view.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class QLabel;

namespace pcs::ui {

class Form_Search;
class Touch_Label;
class Rack_Cell;

struct Form_Rack_Parts {
    Globals& G;
    const Clock& Time;
    Rack& Current_Rack;
    Employee& Technician;
    Status_Port& Status;
    Alert_Port& Alerts;
    Main_Form_Port& Main_Form;
    App_Exit_Port& App; // the login screen's orderly exit
};

class Form_Rack final : public QWidget, private Search_Port {
    Q_OBJECT
public:
    explicit Form_Rack(const Form_Rack_Parts& parts, QWidget* parent = nullptr);
    ~Form_Rack() override;

    Rack_View& Model() { return view_; }
    // The search while it is open, else null.
    Form_Search* Search_Form() const { return search_.get(); }
    // How many searches were shown to the technician (the others picked by themselves, unseen).
    int Searches_Shown = 0;
    // The header bar's station label size; the rack name is drawn 2 points smaller.
    int Header_Station_Font_Size = 22;

    // A window shown modeless with the rack view as its owner once the view has loaded. Whoever made it
    // keeps it: the rack view lets go of it when it is destroyed.
    void Own_Window(QWidget* w);
    // The form load: the whole screen, the first outstanding rack, then the owned windows shown.
    void Load();
    // The form unload: the shared values reset.
    void Unload();

    // Operations the main form calls.
    void Get_Racks(int Index, const std::string& sRackName);
    void Resize_Rack(int iOffsetX, int iOffsetY);
    void Save_bttn_toggle(bool isOn);
    // Draws the model; every touch ends with it.
    void Draw();

private:
    Rack_Search& Load_Search() override;
    void Show_Search_Modal() override;
    void Unload_Search() override;

    void Build();
    void Place();
    template <class F> void Touch(F&& f);

    Form_Rack_Parts p_;
    Rack_View view_;
    std::unique_ptr<Form_Search> search_;
    // The next search's form, made ahead off a touch's path (with the view, then after each search), so
    // that a search only fills it and shows it.
    std::unique_ptr<Form_Search> spare_search_;
    void Prepare_Search();
    std::unique_ptr<Form_Search> New_Search();
    std::vector<QPointer<QWidget>> owned_;
    bool unloaded_ = false;

    // One rack position: its shape, the touchable caption over it, the info and result lines and the
    // screening progress pictures (screen, water, picture).
    struct Cell_Widgets {
        Rack_Cell* shp_sample = nullptr;
        Touch_Label* lbl_sample = nullptr;
        QLabel* lbl_Info = nullptr;
        QLabel* lbl_Result = nullptr;
        std::array<Touch_Label*, 3> img_sample_status{};
    };
    // Every widget of the form, made once by Build; the layout and the drawing only reach them here.
    struct Widgets {
        Rack_Cell* shp_rackPanel = nullptr;
        Rack_Cell* shp_holder = nullptr;
        std::array<Cell_Widgets, Rack_Cells> Cells{};
        QLabel *lbl_rackDesc = nullptr, *lbl_RackDate = nullptr, *lbl_RackStatus = nullptr;
        QLabel *lbl_ActiveWo = nullptr, *img_ptr = nullptr;
        std::array<Touch_Label*, 3> bttn_Nav{};
        Touch_Label* img_Priority = nullptr;
        std::array<Touch_Label*, 4> Priority{};
        Touch_Label *img_save = nullptr, *img_Exit = nullptr, *lbl_Exit = nullptr;
    };
    Widgets ui_;
};

} // namespace pcs::ui
