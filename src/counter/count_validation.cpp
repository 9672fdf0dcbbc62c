#include "counter/count_validation.h"

#include "common/text.h"

#include <algorithm>

namespace pcs {

namespace {

// A one-digit code leaves the "/" that follows it in the two characters taken.
std::string Cut_At_Slash(std::string piece) {
    size_t slash = piece.find('/');
    if (slash == std::string::npos) return piece;
    if (slash == 0) return piece.substr(1);
    return piece.substr(0, slash);
}

std::string Two_After(std::string_view text, size_t slash) {
    return std::string(text.substr(slash + 1, 2));
}

} // namespace

std::string Get_History_Code(int size, std::string_view text) {
    if (text.size() < 2 || text.find('/', 1) == std::string_view::npos) return "";
    size_t slashes = static_cast<size_t>(std::count(text.begin(), text.end(), '/'));
    size_t first = text.find('/');
    std::string piece;
    if (slashes == 1) {
        if (size == 5)
            piece = std::string(text.substr(0, first));
        else if (size == 15)
            piece = Two_After(text, first);
    } else if (slashes == 2) {
        size_t second = text.find('/', first + 1);
        if (size == 2)
            piece = std::string(text.substr(0, first));
        else if (size == 5)
            piece = Two_After(text, first);
        else if (size == 15)
            piece = Two_After(text, second);
    }
    return Cut_At_Slash(std::move(piece));
}

bool Compare_Codes(std::string_view previous, std::string_view next, int16_t iso5_sample) {
    auto p = Try_Int32(previous);
    auto n = Try_Int32(next);
    if (!p || !n) return false;
    return *p == *n || (*p < iso5_sample && *n < iso5_sample) || *p < *n;
}

bool Flush_Not_Needed(std::string_view previous_code_text, std::string_view history_caption,
                      int16_t iso5_sample) {
    if (previous_code_text.empty()) return true;
    std::string prev = Trim(previous_code_text);
    size_t first = prev.find('/');
    if (first == std::string::npos) return false;
    size_t second = prev.find('/', first + 1);
    std::string previous5 =
        second == std::string::npos ? prev.substr(0, first) : prev.substr(first + 1, second - first - 1);

    std::string caption = Trim(history_caption);
    std::string next5 = To_Text(static_cast<long long>(iso5_sample) - 1);
    if (caption != "No Hist" && caption != "Not Entered") next5 = Get_History_Code(5, caption);
    return Compare_Codes(previous5, next5, iso5_sample);
}

Run_Choice Choose_Run_Type(int n, int N, bool flush_not_needed) {
    Run_Choice c;
    if (n == N) {
        c.Kind = Run_Kind::Check;
        c.Flush_Due = !flush_not_needed;
    } else {
        c.Flush_Due = (0 <= n && n < N) ? !flush_not_needed : true;
    }
    if (c.Flush_Due) c.Kind = Run_Kind::Flush;
    return c;
}

bool Validate_Codes(Run_Kind kind, std::string_view Code_2, std::string_view Code_5, std::string_view Code_15,
                    const Validation_Limits& limits) {
    int l2 = limits.ISO2_SAMPLE, l5 = limits.ISO5_SAMPLE, l15 = limits.ISO15_SAMPLE;
    if (kind == Run_Kind::Check) {
        l2 = limits.ISO2_CHECK, l5 = limits.ISO5_CHECK, l15 = limits.ISO15_CHECK;
    } else if (kind == Run_Kind::Flush) {
        l2 = limits.ISO2_FLUSH, l5 = limits.ISO5_FLUSH, l15 = limits.ISO15_FLUSH;
    }
    auto c2 = Try_Double(Code_2), c5 = Try_Double(Code_5), c15 = Try_Double(Code_15);
    if (!c2 || !c5 || !c15) return true;
    return *c2 <= l2 && *c5 <= l5 && *c15 <= l15;
}

std::string Rerun_Question(std::string_view rack_desc, std::string_view code_text,
                           std::string_view history_caption) {
    return Trim(rack_desc) + "\r\n\r\n" + "Current count is [" + Trim(code_text) + "], history is [" +
           Trim(history_caption) + "].  Do you want to rerun the sample?";
}

} // namespace pcs
