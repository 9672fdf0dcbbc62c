#include "counter/count_report.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pcs {

namespace {

// Normalises a code: a number becomes its whole-number text (13.0 and " 13" both give 13); anything
// else is left as found.
std::string Normalise_Code(const std::string& code) {
    auto v = Try_Double(code);
    if (!v) return code;
    double r = Round_Half_Even(*v);
    if (!(std::fabs(r) <= 1e15)) return code;
    return To_Text(static_cast<long long>(r));
}

bool Is_Number_Below_3(const std::string& code) {
    auto v = Try_Double(code);
    return v && *v < 3;
}

// Splits the counter's code text ("13/9", "15/13/8", "18/16/13/9") into its three codes, over as many
// characters as the trimmed text has.
void Split_Counter_Code(Count_Report& r) {
    const std::string& t = r.Code_Text;
    size_t n = std::min(Trim(t).size(), t.size());
    int slashes = 0;
    std::string parts[3];
    for (size_t i = 0; i < n; ++i) {
        char c = t[i];
        if (c == '/' && slashes < 2) {
            ++slashes;
            continue;
        }
        parts[slashes] += c;
    }
    r.Code_2 = parts[0];
    r.Code_5 = parts[1];
    r.Code_15 = parts[2];
    size_t p = r.Code_15.find('/');
    if (p != std::string::npos) {
        r.Code_5 = r.Code_15.substr(0, p);
        r.Code_15 = r.Code_15.substr(p + 1);
    }
}

void Set_Invalid(Count_Report& r, std::string reason) {
    if (r.Invalid) return; // the first reason is the one that matters
    r.Invalid = true;
    r.Invalid_Reason = std::move(reason);
}

const char* Channel_Name(size_t i) {
    static const char* names[] = {"channel 1 (2 um)",  "channel 2 (5 um)",  "channel 3 (15 um)",
                                  "channel 4 (25 um)", "channel 5 (50 um)", "channel 6 (100 um)"};
    return i < 6 ? names[i] : "channel";
}

// A field quoted in a reason: trimmed, short, printable.
std::string Shown(const std::string& s) {
    std::string t = Trim(s).substr(0, 20);
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
    return "\"" + t + "\"";
}

} // namespace

std::string Rebuild_Log_Line(const std::vector<std::string>& fields) {
    std::string line;
    size_t u = fields.empty() ? 0 : fields.size() - 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        line += fields[i];
        if (u == 0 || i != u - 1) line += ',';
    }
    return line;
}

std::string Log_Line_With_Run(const std::vector<std::string>& fields, std::string_view run_id) {
    // Field 30 must not be the last one, which holds the line end.
    if (fields.size() <= Field_Station_Run + 1 || !Trim(fields[Field_Station_Run]).empty() ||
        Trim(run_id).empty())
        return Rebuild_Log_Line(fields);
    std::vector<std::string> stamped = fields;
    std::string& run = stamped[Field_Station_Run];
    run = Trim(run_id);
    for (char& c : run)
        if (c == ',' || static_cast<unsigned char>(c) < 32) c = ' ';
    return Rebuild_Log_Line(stamped);
}

std::string Get_ISO_Code(std::string_view count, std::string_view volume) {
    auto c = Try_Double(count), v = Try_Double(volume);
    if (!c || !v || !(*c > 0) || !(*v > 0)) return "";
    double per_ml = Round_Half_Even(*c / *v);
    if (!(per_ml <= 320000)) return "";
    return std::to_string(Whole_Count_Range_Number(per_ml));
}

int Whole_Count_Range_Number(double per_ml) {
    static constexpr double station_upper[] = {1, 3, 4}; // codes 7, 8 and 9
    double n = Round_Half_Even(per_ml);
    for (int code = 7; code < static_cast<int>(Iso_Code_Upper_Bound.size()); ++code) {
        double upper = code < 10 ? station_upper[code - 7] : Iso_Code_Upper_Bound[static_cast<size_t>(code)];
        if (n <= upper) return code;
    }
    return 29;
}

int32_t Per_mL(int32_t count, int16_t volume) {
    return static_cast<int32_t>(Round_Half_Even(static_cast<double>(count) / volume));
}

std::array<int32_t, 6> Per_mL_Values(const Count_Report& r) {
    std::array<int32_t, 6> out{};
    if (r.Volume <= 0) return out;
    for (size_t i = 0; i < 6; ++i)
        out[i] = Per_mL(r.Value[i], r.Volume);
    return out;
}

bool Scale_For_Dilution(Count_Report& r) {
    for (int32_t v : r.Value)
        if (static_cast<int64_t>(v) * 10 > std::numeric_limits<int32_t>::max()) return false;
    for (int32_t& v : r.Value)
        v *= 10;
    r.Value_7 *= 10;
    return true;
}

void Code_From_Counts(Count_Report& r) {
    std::string codes[3];
    for (size_t i = 0; i < 3; ++i) {
        codes[i] = Get_ISO_Code(std::to_string(r.Value[i]), std::to_string(r.Volume));
        if (codes[i].empty()) return;
    }
    r.Code_2 = codes[0];
    r.Code_5 = codes[1];
    r.Code_15 = codes[2];
    r.Code_Text = codes[0] + "/" + codes[1] + "/" + codes[2];
}

Report_Parse Parse_Count_Report(std::string_view input, Run_Kind kind) {
    Report_Parse out;
    Count_Report& r = out.Report;

    // The counter's acknowledgement of the start command comes first.
    std::string text(input);
    if (Contains(text, "!S")) text.erase(0, std::min<size_t>(2, text.size()));
    // Line noise ahead of the report (a broken earlier report, stray fields) would shift every field.
    // The report starts at its own tag; noise without a "," leaves the fields where they were.
    size_t tag = text.rfind(Report_Tag);
    if (tag != std::string::npos && text.find(',') < tag) text.erase(0, tag);

    if (kind == Run_Kind::Check || kind == Run_Kind::Flush) out.Station_Mode = Run_Word(kind);

    out.Fields = Split(text, ',');
    const auto& f = out.Fields;
    out.Log_Line = Rebuild_Log_Line(f);

    if (Trim(text).empty()) {
        Set_Invalid(r, "the report is empty");
        return out;
    }

    // The code field is the last one that mentions "ISO".
    std::optional<size_t> code_field;
    for (size_t i = f.size(); i-- > 0;)
        if (Contains(f[i], "ISO")) {
            code_field = i;
            break;
        }

    auto field = [&](size_t i) -> std::string { return i < f.size() ? f[i] : std::string(); };

    if (code_field) {
        r.Counter_Code = true;
        const std::string& cf = f[*code_field];
        size_t colon = cf.find(": ");
        r.Code_Text =
            colon == std::string::npos ? cf.substr(std::min<size_t>(1, cf.size())) : cf.substr(colon + 2);
        // A line end right after the code (a line without its final ",") is not part of it.
        while (!r.Code_Text.empty() && (r.Code_Text.back() == '\r' || r.Code_Text.back() == '\n'))
            r.Code_Text.pop_back();
        Split_Counter_Code(r);
        // Line noise in the code is a damaged report, not a code to store.
        for (char c : Trim(r.Code_Text))
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) {
                Set_Invalid(r, "the counter's ISO code holds unreadable characters");
                break;
            }
    } else {
        r.Code_2 = Get_ISO_Code(field(Field_Count_1), field(Field_Volume));
        r.Code_5 = Get_ISO_Code(field(Field_Count_1 + 1), field(Field_Volume));
        r.Code_15 = Get_ISO_Code(field(Field_Count_1 + 2), field(Field_Volume));
        r.Code_Text = r.Code_2 + "/" + r.Code_5 + "/" + r.Code_15;
        // A channel without particles (or beyond the table) has no code: the count cannot be coded.
        const std::string* codes[] = {&r.Code_2, &r.Code_5, &r.Code_15};
        for (size_t i = 0; i < 3; ++i)
            if (codes[i]->empty()) Set_Invalid(r, std::string("no ISO code for ") + Channel_Name(i));
    }

    r.Code_2 = Normalise_Code(r.Code_2);
    r.Code_5 = Normalise_Code(r.Code_5);
    r.Code_15 = Normalise_Code(r.Code_15);

    if (Is_Number_Below_3(r.Code_2) && Is_Number_Below_3(r.Code_5) && Is_Number_Below_3(r.Code_15))
        Set_Invalid(r, "all three codes are below 3");

    // Volume and counts. A count the station cannot divide or save is an invalid count, never a
    // division by zero or a value saved as found.
    if (f.size() <= Field_Volume) {
        Set_Invalid(r, "the report is truncated (" + std::to_string(f.size()) + " fields)");
        return out;
    }
    auto volume = Try_Int16(f[Field_Volume]);
    if (!volume || *volume <= 0) {
        Set_Invalid(r, "the volume " + Shown(f[Field_Volume]) + " is not a volume above 0 mL");
        return out;
    }
    r.Volume = *volume;
    auto read_count = [&](size_t i) -> bool {
        const std::string& raw = f[Field_Count_1 + i];
        auto v = Try_Double(raw);
        if (!v || *v < 0 || *v != std::floor(*v) || *v > std::numeric_limits<int32_t>::max()) {
            Set_Invalid(r, std::string(Channel_Name(i)) + " count " + Shown(raw) +
                               " is not a whole number of particles");
            return false;
        }
        r.Value[i] = static_cast<int32_t>(*v);
        return true;
    };
    for (size_t i = 0; i < 5; ++i)
        if (!read_count(i)) return out;
    // The sixth channel counts only when the fifth holds at least 10 particles per mL.
    if (static_cast<double>(r.Value[4]) / r.Volume >= 10) {
        if (!read_count(5)) return out;
    } else {
        r.Value[5] = 0;
    }
    r.Value_7 = 0;
    return out;
}

std::string Standard_ISO_Code(double per_ml, int64_t particles_counted) {
    if (!(per_ml >= 0)) return "";
    std::string mark = particles_counted < 20 ? "\xE2\x89\xA5" : ""; // the "at least" sign
    for (size_t code = 0; code < Iso_Code_Upper_Bound.size(); ++code)
        if (per_ml <= Iso_Code_Upper_Bound[code]) return mark + std::to_string(code);
    return mark + ">28";
}

} // namespace pcs
