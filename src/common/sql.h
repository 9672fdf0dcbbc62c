// Building statement texts safely. Text values have their single quotes doubled; values spliced
// without quotes are checked to be numbers first. For ordinary values the text is unchanged.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pcs {

// A value that may not be spliced into a statement (for example an id that is not a number).
class Sql_Value_Error : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Doubles every single quote, so the value stays one literal.
std::string SQL_Escape(std::string_view value);

// "'" + trimmed value + "' " when the value is present and not blank; otherwise the default ("null").
std::string SQL_Quote(const std::optional<std::string>& value, std::string_view default_text = "null");
inline std::string SQL_Quote(const char* value, std::string_view default_text = "null") {
    return SQL_Quote(value ? std::optional<std::string>(value) : std::nullopt, default_text);
}
inline std::string SQL_Quote(const std::string& value, std::string_view default_text = "null") {
    return SQL_Quote(std::optional<std::string>(value), default_text);
}

// The trimmed value when it is a number (digits with an optional sign and decimal point);
// throws Sql_Value_Error naming the field otherwise.
std::string SQL_Number(std::string_view value, std::string_view field_name);

} // namespace pcs
