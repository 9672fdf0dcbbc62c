// The main form as the rack view calls it, and the two joined as the station runs them: the main form
// gives the rack view its cell size and lays it out under the priority row, its rack name opens the
// rack view on that rack, and the rack view owns it so it stays above.
#pragma once

#include "ui/form_rack.h"
#include "ui/form_test.h"

namespace pcs::ui {

class Form_Test_For_Rack final : public Main_Form_Port {
public:
    explicit Form_Test_For_Rack(Form_Test& form) : f_(form) {}

    // Before the rack view loads.
    void Attach(Form_Rack& rack);

    void Init() override;
    void User_Login() override { f_.User_Login(); }
    bool Rack_Refresh(bool bIsStartUp) override { return f_.Rack_Refresh(bIsStartUp); }
    void Rack_OnClick() override { f_.Rack_OnClick(); }
    void Nav_Start() override { f_.Nav_Start(); }
    void Nav_End() override { f_.Nav_End(); }
    void Quick_Hide() override { f_.Quick_Hide(); }
    void Quick_Show(int Index) override { f_.Quick_Show(Index); }
    bool Process_Sample(int Index, const std::string& sampleId, const std::string& sStatus) override {
        return f_.Process_Sample(static_cast<int16_t>(Index), sampleId, sStatus);
    }
    void Save_Results() override { f_.Save_Results(); }
    bool AllSaved() override { return f_.AllSaved(); }

private:
    Form_Test& f_;
    Form_Rack* rack_ = nullptr;
};

} // namespace pcs::ui
