#include "station/result_table.h"

#include "common/text.h"

namespace pcs {

std::vector<std::string> Result_Table::Captions() {
    std::vector<std::string> parts = Split(Result_Captions, ',');
    parts.resize(8);
    return parts;
}

void Result_Table::Show_Results(std::string_view run_id, std::string_view code_text,
                                const std::array<std::string, 7>& values) {
    for (int r = Row_Count - 1; r > 0; --r)
        rows_[r] = rows_[r - 1];
    Result_Row& top = rows_[0];
    top.Run_Id = std::string(run_id);
    top.Values[0] = std::string(code_text);
    for (size_t i = 0; i < values.size(); ++i)
        top.Values[i + 1] = values[i];
}

} // namespace pcs
