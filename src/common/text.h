// Text and number semantics the whole station leans on. Nobody re-implements these inline.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pcs {

// A value that cannot be converted: not a number ("type mismatch") or out of range ("overflow").
class Conversion_Error : public std::runtime_error {
public:
    enum class Kind { Type_Mismatch, Overflow };
    Conversion_Error(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

// Blanks are spaces only, as the station's texts have always been trimmed.
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
bool Equals_No_Case(std::string_view a, std::string_view b);
bool Contains(std::string_view text, std::string_view what);

// Splits at every occurrence of sep; "a,,b" gives three parts, "" gives one empty part.
std::vector<std::string> Split(std::string_view s, char sep);

// True for a decimal number with optional blanks around it, an optional sign, digits with at most one
// decimal point, and an optional exponent ("12", " -3.5 ", "1e3", ".5"). Empty text is not numeric.
bool Is_Numeric(std::string_view s);

// Parses a numeric text (see Is_Numeric); throws Conversion_Error(Type_Mismatch) otherwise.
double To_Double(std::string_view s);
std::optional<double> Try_Double(std::string_view s);

// Whole number with halves to even: 12.5 -> 12, 13.5 -> 14, -2.5 -> -2.
double Round_Half_Even(double v);

// Whole-number conversions (halves to even) with range checks; Overflow outside the type's range.
int16_t To_Int16(double v);
int32_t To_Int32(double v);
int16_t To_Int16(std::string_view s);
int32_t To_Int32(std::string_view s);
std::optional<int16_t> Try_Int16(std::string_view s);
std::optional<int32_t> Try_Int32(std::string_view s);

// Whole numbers as text, the way the station shows them ("13", "-2").
std::string To_Text(long long v);
// A double as the shortest text that reads back the same ("0.5", "222", "1e+20").
std::string To_Text(double v);

} // namespace pcs
