#include "common/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace pcs {

std::string LTrim(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && s[b] == ' ')
        ++b;
    return std::string(s.substr(b));
}

std::string RTrim(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && s[e - 1] == ' ')
        --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return std::string(s.substr(b, e - b));
}

std::string UCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string LCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool Equals_No_Case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

std::vector<std::string> Split(std::string_view s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        if (p == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, p - start));
        start = p + 1;
    }
}

namespace {

bool Is_Digit(char c) {
    return c >= '0' && c <= '9';
}

// Validates the numeric grammar and returns the trimmed core, or nullopt.
std::optional<std::string_view> Numeric_Core(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    std::string_view t = s.substr(b, e - b);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = 0;
    while (i < t.size() && Is_Digit(t[i]))
        ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && Is_Digit(t[i]))
            ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t exp_digits = 0;
        while (i < t.size() && Is_Digit(t[i]))
            ++i, ++exp_digits;
        if (exp_digits == 0) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    return t;
}

[[noreturn]] void Throw_Mismatch(std::string_view s) {
    std::string shown(s.substr(0, 40));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
    throw Conversion_Error(Conversion_Error::Kind::Type_Mismatch,
                           "Type mismatch: \"" + shown + "\" is not a number");
}

template <typename T> T To_Int(double v, const char* type_name) {
    if (std::isnan(v)) throw Conversion_Error(Conversion_Error::Kind::Overflow, "Overflow: not a number");
    double r = Round_Half_Even(v);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        throw Conversion_Error(Conversion_Error::Kind::Overflow,
                               "Overflow: " + To_Text(v) + " does not fit a " + type_name + " whole number");
    return static_cast<T>(r);
}

} // namespace

bool Is_Numeric(std::string_view s) {
    return Numeric_Core(s).has_value();
}

std::optional<double> Try_Double(std::string_view s) {
    auto core = Numeric_Core(s);
    if (!core) return std::nullopt;
    std::string_view t = *core;
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    double v = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: saturate the way a parser of numbers would.
        bool neg = !t.empty() && t[0] == '-';
        bool tiny = false;
        auto epos = t.find_first_of("eE");
        if (epos != std::string_view::npos && epos + 1 < t.size() && t[epos + 1] == '-') tiny = true;
        if (tiny) return neg ? -0.0 : 0.0;
        return neg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    if (ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

double To_Double(std::string_view s) {
    auto v = Try_Double(s);
    if (!v) Throw_Mismatch(s);
    return *v;
}

double Round_Half_Even(double v) {
    if (!std::isfinite(v)) return v;
    double r = std::nearbyint(v); // default rounding mode is to nearest, ties to even
    return r == 0.0 ? 0.0 : r;
}

int16_t To_Int16(double v) {
    return To_Int<int16_t>(v, "16-bit");
}
int32_t To_Int32(double v) {
    return To_Int<int32_t>(v, "32-bit");
}
int16_t To_Int16(std::string_view s) {
    return To_Int16(To_Double(s));
}
int32_t To_Int32(std::string_view s) {
    return To_Int32(To_Double(s));
}

std::optional<int16_t> Try_Int16(std::string_view s) {
    try {
        return To_Int16(s);
    } catch (const Conversion_Error&) {
        return std::nullopt;
    }
}

std::optional<int32_t> Try_Int32(std::string_view s) {
    try {
        return To_Int32(s);
    } catch (const Conversion_Error&) {
        return std::nullopt;
    }
}

std::string To_Text(long long v) {
    return std::to_string(v);
}

std::string To_Text(double v) {
    // Plain digits, as a count or an axis label is read ("500000", not "5e+05"); only magnitudes no
    // count reaches keep the exponent.
    char buf[64];
    const bool plain = std::isfinite(v) && std::fabs(v) < 1e15 && (v == 0 || std::fabs(v) >= 1e-6);
    auto [ptr, ec] = plain ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                           : std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc()) return std::to_string(v);
    return std::string(buf, ptr);
}

} // namespace pcs
