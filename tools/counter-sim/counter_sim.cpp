#include "counter_sim.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace pcs::sim {

namespace {

// Upper bounds of ISO 4406 range numbers 0..28, per mL.
constexpr std::array<double, 29> Upper{
    0.01, 0.02, 0.04, 0.08, 0.16, 0.32,  0.64,  1.3,   2.5,   5,      10,     20,     40,      80,     160,
    320,  640,  1300, 2500, 5000, 10000, 20000, 40000, 80000, 160000, 320000, 640000, 1300000, 2500000};

std::string Trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

} // namespace

double Iso4406_Upper(int code) {
    return Upper.at(static_cast<size_t>(std::clamp(code, 0, 28)));
}

int Iso4406_Code(double per_ml) {
    if (!(per_ml > 0)) return 0;
    for (size_t r = 0; r < Upper.size(); ++r)
        if (per_ml <= Upper[r]) return static_cast<int>(r);
    return 28;
}

Cleanliness Parse_Cleanliness(std::string_view text) {
    std::vector<int> codes;
    std::string part;
    auto take = [&] {
        std::string t = Trimmed(part);
        if (t.empty() || t.size() > 2 ||
            !std::all_of(t.begin(), t.end(), [](unsigned char c) { return std::isdigit(c); }))
            throw std::invalid_argument("cleanliness must be three ISO 4406 codes such as 18/16/13");
        codes.push_back(std::stoi(t));
        part.clear();
    };
    for (char c : text) {
        if (c == '/')
            take();
        else
            part += c;
    }
    take();
    if (codes.size() != 3)
        throw std::invalid_argument("cleanliness must be three ISO 4406 codes such as 18/16/13");
    for (int c : codes)
        if (c > 28) throw std::invalid_argument("ISO 4406 codes run from 0 to 28");
    if (codes[1] > codes[0] || codes[2] > codes[1])
        throw std::invalid_argument("larger particles cannot outnumber smaller ones: codes must not rise");
    return {codes[0], codes[1], codes[2]};
}

Channel_Counts Draw_Counts(const Cleanliness& c, double volume_ml, std::mt19937_64& rng) {
    // A per-mL value well inside the code's range, spread evenly on the log scale.
    auto draw = [&](int code) {
        double lo = code == 0 ? 0.002 : Iso4406_Upper(code - 1) * 1.15;
        double hi = Iso4406_Upper(code) * 0.87;
        std::uniform_real_distribution<double> u(std::log(lo), std::log(hi));
        return std::exp(u(rng));
    };
    double n2 = draw(c.Code_4), n5 = std::min(draw(c.Code_6), n2), n15 = std::min(draw(c.Code_14), n5);
    // Larger sizes follow the power law seen between 5 and 15 um, never flatter than a slope of -1.5.
    double slope = (n15 > 0 && n5 > 0) ? std::log(n15 / n5) / std::log(3.0) : -3.0;
    slope = std::min(slope, -1.5);
    std::array<double, 6> per_ml{n2,
                                 n5,
                                 n15,
                                 n15 * std::pow(25.0 / 15, slope),
                                 n15 * std::pow(50.0 / 15, slope),
                                 n15 * std::pow(100.0 / 15, slope)};
    Channel_Counts counts{};
    for (size_t i = 0; i < per_ml.size(); ++i) {
        double mean = per_ml[i] * volume_ml;
        counts[i] = mean > 0 ? std::poisson_distribution<int64_t>(mean)(rng) : 0;
        if (i > 0) counts[i] = std::min(counts[i], counts[i - 1]);
    }
    return counts; // the two repeated 100 um channels stay empty
}

std::string Code_Field(const Channel_Counts& counts, double volume_ml, Code_Format format) {
    auto code = [&](size_t ch) { return std::to_string(Iso4406_Code(double(counts[ch]) / volume_ml)); };
    switch (format) {
    case Code_Format::Two:
        return "ISO Code: " + code(1) + "/" + code(2);
    case Code_Format::Three:
        return "ISO Code: " + code(0) + "/" + code(1) + "/" + code(2);
    case Code_Format::None:
        break;
    }
    return "";
}

std::string Format_Report(const Channel_Counts& counts, const Report_Options& o, std::time_t when) {
    char buf[64];
    std::string line = "!LPR1,";
    double secs = std::max(0.0, o.Count_Seconds);
    long hundredths = std::lround(secs * 100);
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld.%02ld,", hundredths / 360000, hundredths / 6000 % 60,
                  hundredths / 100 % 60, hundredths % 100);
    line += buf;
    line += "BP,RP,GP,LP,8,C,2.00,5.00,15.00,25.00,50.00,100.00,100.00,100.00,";
    for (int64_t n : counts)
        line += std::to_string(n) + ",";
    std::snprintf(buf, sizeof buf, "%.2f,", o.Volume_ml);
    line += buf;
    std::tm tm{};
    localtime_r(&when, &tm);
    std::strftime(buf, sizeof buf, "%m/%d/%y,%H:%M:%S,", &tm);
    line += buf;
    line += o.Operator + "," + o.Sample_Id + "," + o.Run_Label + ",,";
    if (o.Code != Code_Format::None) line += Code_Field(counts, o.Volume_ml, o.Code) + ",";
    return line;
}

Report_Source::Report_Source(Cleanliness c, Report_Options o, uint64_t seed)
    : clean_(c), options_(std::move(o)), rng_(seed) {}

Report_Source::Report_Source(const std::string& file, Report_Options o) : options_(std::move(o)) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read report file " + file);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (!Trimmed(line).empty()) lines_.push_back(line);
    }
    if (lines_.empty()) throw std::runtime_error("report file " + file + " holds no report line");
}

std::string Report_Source::Next(std::time_t when) {
    if (!lines_.empty()) {
        std::string line = lines_[next_];
        next_ = (next_ + 1) % lines_.size();
        return line;
    }
    return Format_Report(Draw_Counts(clean_, options_.Volume_ml, rng_), options_, when);
}

std::string Normalise_Command(std::string_view line) {
    std::string s = Trimmed(line);
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Acknowledgement(std::string_view command) {
    if (command == "REMOTE+" || command == "REMOTE-" || command == "S" || command == "H")
        return "!" + std::string(command) + "\r";
    return "";
}

} // namespace pcs::sim
