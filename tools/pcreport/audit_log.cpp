#include "audit_log.h"

#include "report_json.h"

#include "common/text.h"
#include "counter/count_logs.h"
#include "counter/count_report.h"
#include "settings/settings.h"
#include "station/station_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace pcs::audit {

namespace fs = std::filesystem;

namespace {

// Longer than any report row could be: passed over without being held whole.
constexpr size_t Max_Line = 64 * 1024;
// The settings file is a few dozen lines; more than this is not a settings file.
constexpr size_t Max_Settings_Bytes = 1024 * 1024;

// Lines ending in LF, read through a fixed buffer. A line longer than Max_Line is reported as such
// and skipped as it comes.
class Line_Reader {
public:
    explicit Line_Reader(const fs::path& path) : file_(std::fopen(path.c_str(), "rb")) {}
    ~Line_Reader() {
        if (file_) std::fclose(file_);
    }
    Line_Reader(const Line_Reader&) = delete;
    Line_Reader& operator=(const Line_Reader&) = delete;

    bool Is_Open() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }
    long Number() const { return number_; }

    // The next line without its LF and trailing CRs; false at the end.
    bool Next(std::string& line, bool& too_long) {
        line.clear();
        too_long = false;
        bool any = false;
        for (;;) {
            if (pos_ == len_) {
                len_ = std::fread(buf_, 1, sizeof buf_, file_);
                pos_ = 0;
                if (len_ == 0) {
                    failed_ = std::ferror(file_) != 0;
                    if (!any) return false;
                    break;
                }
            }
            any = true;
            const char* start = buf_ + pos_;
            const void* nl = std::memchr(start, '\n', len_ - pos_);
            size_t take = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : len_ - pos_;
            if (!too_long) {
                if (line.size() + take > Max_Line) {
                    too_long = true;
                    line.clear();
                    line.shrink_to_fit();
                } else {
                    line.append(start, take);
                }
            }
            pos_ += take;
            if (nl) {
                ++pos_;
                break;
            }
        }
        ++number_;
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    }

private:
    std::FILE* file_;
    char buf_[64 * 1024];
    size_t pos_ = 0, len_ = 0;
    long number_ = 0;
    bool failed_ = false;
};

int Parse_Seconds(std::string_view t) {
    t = std::string_view(t).substr(0, 8);
    if (t.size() != 8 || t[2] != ':' || t[5] != ':') return -1;
    int v[3];
    for (int i = 0; i < 3; ++i) {
        char a = t[static_cast<size_t>(i) * 3], b = t[static_cast<size_t>(i) * 3 + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
        v[i] = (a - '0') * 10 + (b - '0');
    }
    if (v[0] > 23 || v[1] > 59 || v[2] > 59) return -1;
    return v[0] * 3600 + v[1] * 60 + v[2];
}

bool Holds_Binary(std::string_view line) {
    for (unsigned char c : line)
        if ((c < 32 && c != '\r' && c != '\t') || c > 126) return true;
    return false;
}

// A quoted piece of a damaged line for the list: short and printable.
std::string Shown(std::string_view s) {
    std::string t;
    for (unsigned char c : s.substr(0, 24))
        t += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return "\"" + t + (s.size() > 24 ? "...\"" : "\"");
}

// What one row of a log holds once it reads as a report.
struct Row {
    Report_Parse Parse;
    Day Date = 0;
    int Second = -1;
    std::string Run; // the station's run identifier from field 30, "" in rows written without it
};

// Reads a row as a report, or says why it cannot be read. nullopt with an empty reason: a blank
// line or the header row, which hold no report.
std::optional<Row> Read_Row(const std::string& line, bool too_long, std::string& why) {
    why.clear();
    if (too_long) {
        why = "longer than " + std::to_string(Max_Line) + " bytes: not a report row";
        return std::nullopt;
    }
    if (tools::Is_Blank_Or_Header(line)) return std::nullopt;
    if (Holds_Binary(line)) {
        why = "holds bytes that are not text (binary data)";
        return std::nullopt;
    }
    if (line.find("LPR1") == std::string::npos) {
        why = "not a counter report (no LPR1 tag): " + Shown(line);
        return std::nullopt;
    }
    Row row;
    row.Parse = Parse_Count_Report(line, Run_Kind::Sample);
    const auto& f = row.Parse.Fields;
    if (f.size() <= Field_Time) {
        why = "too few fields (" + std::to_string(f.size()) + ", a report has " +
              std::to_string(Field_Station_Run + 3) + ")";
        return std::nullopt;
    }
    auto day = Parse_Day(Trim(f[Field_Date]));
    if (!day) {
        why = "the date " + Shown(f[Field_Date]) + " is not MM/DD/YY";
        return std::nullopt;
    }
    row.Date = *day;
    row.Second = Parse_Seconds(Trim(f[Field_Time]));
    if (row.Second < 0) {
        why = "the time " + Shown(f[Field_Time]) + " is not hh:mm:ss";
        return std::nullopt;
    }
    // Field 30 holds the run only where it is not the line's last field (the line end).
    if (f.size() > Field_Station_Run + 1) row.Run = Trim(f[Field_Station_Run]);
    return row;
}

// Codes at 4, 6 and 14 um(c): the station's own codes when all three are numbers (those are what it
// judged), else coded from the counts per mL (a counter code of two numbers leaves the third empty).
Codes Codes_Of(const Count_Report& r) {
    Codes c{};
    auto a = Try_Double(r.Code_2), b = Try_Double(r.Code_5), d = Try_Double(r.Code_15);
    // A damaged counter code can hold any number: kept within the table's reach before it is a whole one.
    auto whole = [](double v) { return static_cast<int>(std::clamp(v, 0.0, 99.0)); };
    if (a && b && d) return {whole(*a), whole(*b), whole(*d)};
    if (r.Volume <= 0) return c;
    for (size_t i = 0; i < 3; ++i)
        c[i] = Whole_Count_Range_Number(static_cast<double>(r.Value[i]) / r.Volume);
    return c;
}

bool In_Range(Day d, const Audit_Options& o) {
    return (!o.From || d >= *o.From) && (!o.To || d <= *o.To);
}

// The check-standard logs: one entry per row, found again by the row's text.
struct Check_Entry {
    size_t Hash = 0;
    bool Failed = false;
    bool Used = false;
    long Line = 0;
};

class Check_Logs {
public:
    void Read(const fs::path& path, const char* name, bool failed, const Audit_Options& o,
              const std::function<void(const char*, long, const std::string&)>& unreadable) {
        Line_Reader in(path);
        if (!in.Is_Open()) return;
        std::string line, why;
        bool too_long = false;
        while (in.Next(line, too_long)) {
            auto row = Read_Row(line, too_long, why);
            if (!row) {
                if (!why.empty()) unreadable(name, in.Number(), why);
                continue;
            }
            if (!In_Range(row->Date, o)) continue;
            entries_.push_back({std::hash<std::string_view>{}(line), failed, false, in.Number()});
        }
        if (in.Failed()) unreadable(name, in.Number() + 1, "the log could not be read on from here");
    }
    void Sort() {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Check_Entry& a, const Check_Entry& b) { return a.Hash < b.Hash; });
    }
    // The verdict the station logged for this row; nullopt when neither log holds it.
    std::optional<bool> Take(const std::string& line) {
        size_t h = std::hash<std::string_view>{}(line);
        auto it = std::lower_bound(entries_.begin(), entries_.end(), h,
                                   [](const Check_Entry& e, size_t v) { return e.Hash < v; });
        for (; it != entries_.end() && it->Hash == h; ++it)
            if (!it->Used) {
                it->Used = true;
                return it->Failed;
            }
        return std::nullopt;
    }
    template <class F> void For_Unused(F f) const {
        for (const auto& e : entries_)
            if (!e.Used) f(e);
    }

private:
    std::vector<Check_Entry> entries_;
};

void Keep_Listed(std::vector<Sample_Count>& list, const Sample_Count& s, size_t n, bool dirtiest) {
    auto before = [dirtiest](const Sample_Count& a, const Sample_Count& b) {
        return dirtiest ? a.Score() > b.Score() : a.Score() < b.Score();
    };
    if (list.size() == n && !before(s, list.back())) return;
    list.insert(std::upper_bound(list.begin(), list.end(), s, before), s);
    if (list.size() > n) list.pop_back();
}

void Read_Settings(const fs::path& folder, Audit& a) {
    const fs::path path = folder / "settings.txt";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        a.Notes.push_back("settings.txt is not in the folder: the limits drawn are the station's defaults.");
        return;
    }
    std::string text(Max_Settings_Bytes, '\0');
    size_t n = std::fread(text.data(), 1, text.size(), f);
    std::fclose(f);
    text.resize(n);
    Settings_Collection settings;
    if (!Load_Settings_Text(settings, text)) {
        a.Notes.push_back("settings.txt loads nothing (its first line is empty): the limits drawn are the "
                          "station's defaults.");
        return;
    }
    Station_Settings s;
    Settings_Read read = Load_Station_Settings(settings, false, s);
    a.Limits = s.Limits;
    std::string missing;
    for (const auto& k : read.Missing)
        if (k.rfind("ISO", 0) == 0 && k.find("HIST") == std::string::npos)
            missing += (missing.empty() ? "" : ", ") + k;
    for (const auto& k : read.Not_Numbers)
        missing += (missing.empty() ? "" : ", ") + k + " (not a number)";
    if (!missing.empty())
        a.Notes.push_back("settings.txt does not give " + missing +
                          ": the station's defaults stand for them.");
}

} // namespace

std::optional<Day> Parse_Day(std::string_view t) {
    auto digits = [&](size_t at, size_t n) -> int {
        int v = 0;
        for (size_t i = at; i < at + n; ++i) {
            if (i >= t.size() || t[i] < '0' || t[i] > '9') return -1;
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    int y = -1, m = -1, d = -1;
    if (t.size() == 10 && t[4] == '-' && t[7] == '-') {
        y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    } else if (t.size() == 8 && t[2] == '/' && t[5] == '/') {
        m = digits(0, 2), d = digits(3, 2), y = digits(6, 2);
        if (y >= 0) y += y < 70 ? 2000 : 1900; // the counter's clock writes two digits
    }
    if (y < 0 || m < 1 || m > 12 || d < 1) return std::nullopt;
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > days[m - 1] || (m == 2 && d == 29 && !leap)) return std::nullopt;
    return y * 10000 + m * 100 + d;
}

std::string Day_Text(Day d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d / 10000, d / 100 % 100, d % 100);
    return buf;
}

void Day_Figures::Add(const Day_Figures& o) {
    Samples += o.Samples, Reruns += o.Reruns, Tests += o.Tests, Unnamed += o.Unnamed;
    Checks += o.Checks, Checks_Failed += o.Checks_Failed, Flushes += o.Flushes;
    Flushes_Failed += o.Flushes_Failed, Invalid += o.Invalid;
    if (o.First_Second >= 0 && (First_Second < 0 || o.First_Second < First_Second))
        First_Second = o.First_Second;
    if (o.Last_Second > Last_Second) Last_Second = o.Last_Second;
}

Audit Read_Audit(const fs::path& folder, const Audit_Options& o) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw Audit_Error(folder.string() + " is not a folder that can be read");
    const fs::path active = folder / Active_Log_Name;
    if (!fs::is_regular_file(active, ec))
        throw Audit_Error(folder.string() + " holds no count log " + Active_Log_Name +
                          ": it is not a station's program folder, or the station has not counted yet");
    Line_Reader in(active);
    if (!in.Is_Open()) throw Audit_Error("cannot open " + active.string());

    Audit a;
    Read_Settings(folder, a);
    auto unreadable = [&](const char* file, long line, const std::string& why) {
        ++a.Unreadable_Total;
        if (a.Unreadable.size() < o.Max_Listed_Unreadable) a.Unreadable.push_back({file, line, why});
    };
    Check_Logs checks;
    checks.Read(folder / Passed_Log_Name, Passed_Log_Name, false, o, unreadable);
    checks.Read(folder / Error_Log_Name, Error_Log_Name, true, o, unreadable);
    checks.Sort();

    std::string line, why, last_sample;
    bool too_long = false;
    while (in.Next(line, too_long)) {
        auto row = Read_Row(line, too_long, why);
        if (!row) {
            if (!why.empty()) unreadable(Active_Log_Name, in.Number(), why);
            continue;
        }
        if (!In_Range(row->Date, o)) {
            ++a.Outside_Range;
            continue;
        }
        if (!row->Run.empty()) ++a.Stamped;
        Day_Figures& day = a.Days[row->Date];
        if (day.First_Second < 0 || row->Second < day.First_Second) day.First_Second = row->Second;
        day.Last_Second = std::max(day.Last_Second, row->Second);
        const Count_Report& r = row->Parse.Report;
        const std::string run = UCase(row->Run);
        if (r.Invalid) {
            ++day.Invalid;
            continue;
        }
        // A row without the station's run is a check standard when a check-standard log holds it.
        std::optional<bool> logged_failed;
        if (run.empty() || run == "CHECK") logged_failed = checks.Take(line);
        if (run == "CHECK" || (run.empty() && logged_failed)) {
            Check_Point p;
            p.Line = in.Number();
            p.Date = row->Date;
            p.Time = Trim(row->Parse.Fields[Field_Time]);
            p.Code = Codes_Of(r);
            auto per_ml = Per_mL_Values(r);
            p.Per_mL = {per_ml[0], per_ml[1], per_ml[2]};
            p.In_Check_Log = logged_failed.has_value();
            p.Failed = logged_failed
                           ? *logged_failed
                           : !Validate_Codes(Run_Kind::Check, r.Code_2, r.Code_5, r.Code_15, a.Limits);
            ++day.Checks;
            day.Checks_Failed += p.Failed;
            a.Checks.push_back(std::move(p));
            if (a.Checks.size() > o.Max_Chart_Points) {
                a.Checks.pop_front();
                ++a.Checks_Left_Out;
            }
        } else if (run == "FLUSH") {
            ++day.Flushes;
            day.Flushes_Failed += !Validate_Codes(Run_Kind::Flush, r.Code_2, r.Code_5, r.Code_15, a.Limits);
        } else if (run == "SINGLE") {
            ++day.Tests;
        } else if (run.empty()) {
            ++day.Unnamed;
        } else {
            // A sample counted again before another sample: the station repeats a run at once (the
            // technician's Yes, an invalid count) and touches a sample whose save failed again next.
            ++day.Samples;
            if (row->Run == last_sample) ++day.Reruns;
            last_sample = row->Run;
            Sample_Count s{row->Run, in.Number(), row->Date, Trim(row->Parse.Fields[Field_Time]),
                           Codes_Of(r)};
            for (size_t i = 0; i < 3; ++i)
                ++a.Histogram[i][static_cast<size_t>(std::clamp(s.Code[i], 0, 29))];
            Keep_Listed(a.Cleanest, s, o.Listed_Samples, false);
            Keep_Listed(a.Dirtiest, s, o.Listed_Samples, true);
        }
    }
    a.Lines_Read = in.Number();
    if (in.Failed()) unreadable(Active_Log_Name, in.Number() + 1, "the log could not be read on from here");
    checks.For_Unused([&](const Check_Entry& e) {
        unreadable(e.Failed ? Error_Log_Name : Passed_Log_Name, e.Line,
                   std::string("a check standard that is not in ") + Active_Log_Name + ": not counted");
    });
    for (const auto& [d, f] : a.Days)
        a.Total.Add(f);
    if (a.Stamped == 0 && a.Total.Counts() > 0)
        a.Notes.push_back("The rows do not say which run the station made: check standards are known from "
                          "the check-standard logs, the other counts are not told apart.");
    return a;
}

} // namespace pcs::audit
