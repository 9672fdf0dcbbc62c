// The particle-count station's main form model as the rack view calls it.
#pragma once

#include "station/station.h"
#include "views/rack_view.h"

namespace pcs {

class Station_Main_Form final : public Main_Form_Port {
public:
    explicit Station_Main_Form(Station& station) : s_(station) {}
    void Init() override { s_.Init(); }
    void User_Login() override { s_.User_Login(); }
    bool Rack_Refresh(bool bIsStartUp) override { return s_.Rack_Refresh(bIsStartUp); }
    void Rack_OnClick() override { s_.Rack_OnClick(); }
    void Nav_Start() override { s_.Nav_Start(); }
    void Nav_End() override { s_.Nav_End(); }
    void Quick_Hide() override { s_.Quick_Hide(); }
    void Quick_Show(int Index) override { s_.Quick_Show(Index); }
    bool Process_Sample(int Index, const std::string& sampleId, const std::string& sStatus) override {
        return s_.Process_Sample(static_cast<int16_t>(Index), sampleId, sStatus);
    }
    void Save_Results() override { s_.Save_Results(); }
    bool AllSaved() override { return s_.AllSaved(); }

private:
    Station& s_;
};

} // namespace pcs
