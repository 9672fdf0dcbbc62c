// The main form's table of the last ten counts, newest first, and the rack header above the bath.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pcs {

// Column captions of the value cells: the code text, then the seven values.
inline constexpr const char* Result_Captions =
    "ISO_CODE,PC_4\xC2\xB5m(c),PC_6\xC2\xB5m(c),PC_14\xC2\xB5m(c),PC_21\xC2\xB5m(c),PC_38\xC2\xB5m(c),"
    "PC_70\xC2\xB5m(c),PC_70\xC2\xB5m(c),";
inline constexpr const char* Result_Caption_Font = "verdana";
inline constexpr int Result_Caption_Size = 7;

struct Result_Row {
    std::string Run_Id;
    std::array<std::string, 8> Values; // the code text, then the seven per-mL values
};

class Result_Table {
public:
    static constexpr int Row_Count = 10;

    // The eight value-column captions.
    static std::vector<std::string> Captions();

    // Moves every row down by one (the bottom one is lost) and fills row 0.
    void Show_Results(std::string_view run_id, std::string_view code_text,
                      const std::array<std::string, 7>& values);

    const std::array<Result_Row, Row_Count>& Rows() const { return rows_; }
    // The code text of the last count: what the flush rule compares the next sample with.
    const std::string& Previous_Code() const { return rows_[0].Values[0]; }

private:
    std::array<Result_Row, Row_Count> rows_;
};

// Rack name, count-down and outstanding count above the bath; hidden until a sample comes in.
struct Rack_Header {
    bool Visible = false;
    std::string Rack_Name; // two blanks + the rack description
    std::string Rack_Id;   // kept beside the name
    std::string Countdown; // SAMPLES_BETWEEN_CHECKS - samples since the last check
    std::string Outstanding;
    bool Outstanding_Visible = true;
};

} // namespace pcs
