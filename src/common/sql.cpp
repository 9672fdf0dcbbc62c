#include "common/sql.h"

#include "common/text.h"

namespace pcs {

std::string SQL_Escape(std::string_view value) {
    std::string r;
    r.reserve(value.size() + 2);
    for (char c : value) {
        r += c;
        if (c == '\'') r += '\'';
    }
    return r;
}

std::string SQL_Quote(const std::optional<std::string>& value, std::string_view default_text) {
    if (value) {
        std::string t = Trim(*value);
        if (!t.empty()) return "'" + SQL_Escape(t) + "' ";
    }
    return std::string(default_text);
}

std::string SQL_Number(std::string_view value, std::string_view field_name) {
    std::string t = Trim(value);
    // Only plain decimal notation: an exponent or blanks inside would change the statement's meaning.
    bool ok = !t.empty();
    size_t i = 0, digits = 0;
    if (ok && (t[0] == '-' || t[0] == '+')) ++i;
    bool point = false;
    for (; ok && i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9')
            ++digits;
        else if (t[i] == '.' && !point)
            point = true;
        else
            ok = false;
    }
    if (!ok || digits == 0)
        throw Sql_Value_Error(std::string(field_name) + " must be a number, not \"" +
                              std::string(value.substr(0, 40)) + "\"");
    return t;
}

} // namespace pcs
