// The histogram window's model: the last count as seven bars on an axis whose top comes from a ladder
// of round values, with a switch under each bar.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace pcs {

inline constexpr std::array<const char*, 7> Histogram_Captions = {
    "4\xC2\xB5", "6\xC2\xB5", "14\xC2\xB5", "21\xC2\xB5", "38\xC2\xB5", "70\xC2\xB5", "70\xC2\xB5"};

// The first rung of the ladder that holds the largest value shown.
double Axis_Top_For(double largest);

class Histogram {
public:
    static constexpr int Channels = 7;

    // Stores the count and redraws.
    void Show_histogram(std::string_view code_text, const std::array<double, Channels>& values);
    // A channel's check box was clicked.
    void Set_Checked(int channel, bool checked);

    const std::array<double, Channels>& Values() const { return values_; }
    const std::array<bool, Channels>& Checked() const { return checked_; }
    // What is drawn: the code label, the axis labels and each bar as a share of the plotting height.
    const std::string& Code_Label() const { return code_label_; }
    const std::string& Y_Top() const { return y_top_; }
    const std::string& Y_Half() const { return y_half_; }
    double Axis_Top() const { return axis_top_; }
    // The bar's height in the plotting area's units, halves to even; 0 for a switched-off channel.
    int Bar_Height(int channel, int plot_height) const;

private:
    // A count of all zeros leaves the picture as it was.
    void Redraw();

    std::array<double, Channels> values_{};
    std::string code_text_;
    std::array<bool, Channels> checked_{true, true, true, true, true, true, true};
    std::array<double, Channels> drawn_{};
    std::string code_label_;
    std::string y_top_ = "1000", y_half_ = "500";
    double axis_top_ = 1000;
};

} // namespace pcs
