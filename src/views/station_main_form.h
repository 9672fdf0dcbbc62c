// The particle-count station as the rack view calls its main form: the one way from the rack view to
// the station. A touched cell's sample goes straight to the station's bath.
#pragma once

#include "station/station.h"
#include "views/rack_view.h"

namespace pcs {

class Station_Main_Form final : public Main_Form_Port {
public:
    explicit Station_Main_Form(Station& station) : s_(station) {}
    void Init() override { s_.Init(); }
    // The particle-count form keeps no edited results: the sample's results count as saved.
    bool Quick_Show(int /*Index*/) override { return true; }
    bool Process_Sample(int Index, const std::string& sampleId, const std::string& sStatus) override {
        return s_.Process_Sample(static_cast<int16_t>(Index), sampleId, sStatus);
    }

private:
    Station& s_;
};

} // namespace pcs
