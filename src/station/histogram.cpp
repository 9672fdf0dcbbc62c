#include "station/histogram.h"

#include "common/text.h"

#include <algorithm>
#include <numeric>

namespace pcs {

double Axis_Top_For(double largest) {
    static const double ladder[] = {25,     50,     100,    200,    500,    1000,   2000,   3000,
                                    4000,   5000,   7000,   10000,  13000,  16000,  20000,  25000,
                                    30000,  35000,  40000,  50000,  60000,  70000,  80000,  90000,
                                    100000, 120000, 140000, 160000, 180000, 200000, 250000, 300000};
    for (double top : ladder)
        if (largest <= top) return top;
    return 500000;
}

void Histogram::Show_histogram(std::string_view code_text, const std::array<double, Channels>& values) {
    code_text_ = std::string(code_text);
    values_ = values;
    Redraw();
}

void Histogram::Set_Checked(int channel, bool checked) {
    if (channel < 0 || channel >= Channels) return;
    checked_[static_cast<size_t>(channel)] = checked;
    Redraw();
}

void Histogram::Redraw() {
    if (std::accumulate(values_.begin(), values_.end(), 0.0) == 0) return;
    double largest = 0;
    for (int i = 0; i < Channels; ++i)
        if (checked_[i]) largest = std::max(largest, values_[i]);
    axis_top_ = Axis_Top_For(largest);
    y_top_ = To_Text(axis_top_);
    y_half_ = To_Text(axis_top_ / 2);
    code_label_ = code_text_;
    for (int i = 0; i < Channels; ++i)
        drawn_[i] = checked_[i] ? values_[i] / axis_top_ : 0.0;
}

int Histogram::Bar_Height(int channel, int plot_height) const {
    if (channel < 0 || channel >= Channels) return 0;
    return static_cast<int>(Round_Half_Even(drawn_[static_cast<size_t>(channel)] * plot_height));
}

} // namespace pcs
