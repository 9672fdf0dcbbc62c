#include "audit_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pcs::audit {

namespace {

const char* const Size_Names[3] = {"4 µm(c)", "6 µm(c)", "14 µm(c)"};
const char* const Size_Keys[3] = {"4", "6", "14"};

std::string Esc(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Num(double v, int decimals = 1) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string N(long v) {
    return std::to_string(v);
}

// "3 (2.1 %)", or just "0".
std::string With_Rate(long n, long of) {
    if (n == 0 || of <= 0) return N(n);
    return N(n) + " <span class=\"rate\">(" + Num(100.0 * n / of) + " %)</span>";
}

std::string Code_Text(const Codes& c) {
    return std::to_string(c[0]) + "/" + std::to_string(c[1]) + "/" + std::to_string(c[2]);
}

std::string Samples_Per_Hour(const Day_Figures& d) {
    int span = d.Last_Second - d.First_Second;
    if (d.Samples == 0 || span < 60) return "–";
    return Num(d.Samples * 3600.0 / span);
}

const char* Style = R"(
:root { --c4: #1f5fa8; --c6: #b35300; --c14: #6a3d9a; --fail: #c00000; --ink: #1a1a1a; --muted: #5a5a5a; }
* { box-sizing: border-box; }
body { font-family: "Liberation Sans", "DejaVu Sans", Arial, sans-serif; color: var(--ink); margin: 0;
       padding: 1.2rem 2rem 3rem; line-height: 1.4; max-width: 1200px; }
h1 { font-size: 1.6rem; margin: 0 0 .3rem; }
h2 { font-size: 1.25rem; margin: 2rem 0 .6rem; border-bottom: 2px solid #d0d7e2; padding-bottom: .2rem; }
h3 { font-size: 1.05rem; margin: 1.2rem 0 .4rem; }
.meta { color: var(--muted); margin: 0 0 .8rem; }
.cards { display: flex; flex-wrap: wrap; gap: .6rem; margin: .8rem 0; padding: 0; list-style: none; }
.cards li { border: 1px solid #d0d7e2; border-radius: 6px; padding: .4rem .7rem; min-width: 8rem; }
.cards b { display: block; font-size: 1.45rem; }
.cards li.bad { border-color: var(--fail); }
.cards li.bad b { color: var(--fail); }
.notes { background: #fff6e0; border-left: 4px solid #d9a400; padding: .5rem .9rem; margin: .8rem 0; }
.notes p { margin: .2rem 0; }
figure { margin: .6rem 0 1rem; }
figcaption { font-weight: bold; margin-bottom: .3rem; }
svg.chart { width: 100%; height: auto; display: block; border: 1px solid #e3e7ee; background: #fff; }
svg text { font-family: inherit; font-size: 12px; fill: var(--ink); }
svg .axis { stroke: #888; stroke-width: 1; }
svg .grid { stroke: #e6e6e6; stroke-width: 1; }
svg .series { fill: none; stroke-width: 1.8; }
svg.dense .series { stroke-width: 1; opacity: .45; }
svg .trend { fill: none; stroke-width: 2.6; }
svg .s4 { stroke: var(--c4); } svg .s6 { stroke: var(--c6); } svg .s14 { stroke: var(--c14); }
svg .d4 { fill: var(--c4); } svg .d6 { fill: var(--c6); } svg .d14 { fill: var(--c14); }
svg .limit { stroke-width: 1.5; stroke-dasharray: 7 4; }
svg .failed-band { fill: var(--fail); opacity: .10; }
svg .failed-mark { stroke: var(--fail); stroke-width: 2.2; fill: none; }
svg .bar4 { fill: var(--c4); } svg .bar6 { fill: var(--c6); } svg .bar14 { fill: var(--c14); }
.legend { display: flex; flex-wrap: wrap; gap: 1.2rem; margin: .3rem 0; font-size: .95rem; }
.legend span::before { content: ""; display: inline-block; width: 1.4em; height: .25em; margin-right: .35em;
                       vertical-align: middle; background: currentColor; }
.legend .k4 { color: var(--c4); } .legend .k6 { color: var(--c6); } .legend .k14 { color: var(--c14); }
.legend .kf { color: var(--fail); } .legend .kl::before { background: repeating-linear-gradient(90deg,
  var(--muted) 0 6px, transparent 6px 9px); }
.legend span { color: var(--ink); }
.legend span.kt::before { background: var(--ink); height: .4em; }
.legend span.k4::before { background: var(--c4); } .legend span.k6::before { background: var(--c6); }
.legend span.k14::before { background: var(--c14); } .legend span.kf::before { background: var(--fail); height: .8em; opacity: .35; }
table { border-collapse: collapse; font-size: .92rem; }
th, td { border: 1px solid #d0d7e2; padding: .25rem .5rem; text-align: right; }
th { background: #eef2f7; }
td.t, th.t { text-align: left; }
tr.failed td { color: var(--fail); font-weight: bold; }
tr.total td { font-weight: bold; background: #f6f8fb; }
.rate { color: var(--muted); font-weight: normal; }
.scroll { max-height: 22rem; overflow: auto; border: 1px solid #e3e7ee; display: inline-block; max-width: 100%; }
.scroll table { border: 0; }
.scroll thead th { position: sticky; top: 0; }
.side { display: flex; flex-wrap: wrap; gap: 2rem; align-items: flex-start; }
.empty { color: var(--muted); font-style: italic; }
@media print {
  @page { size: A4 landscape; margin: 12mm; }
  html { font-size: 9pt; }
  body { padding: 0; max-width: none; }
  td.t { white-space: nowrap; }
  h2 { break-after: avoid; }
  figure, .cards, tr { break-inside: avoid; }
  .scroll { max-height: none; overflow: visible; border: 0; }
  .scroll thead th { position: static; }
  svg.chart { border: 0; }
}
)";

// A line chart of the check standards: one series per size, the limits, the failed ones marked.
struct Series_Chart {
    std::string Id, Title, Y_Label;
    bool Log_Scale = false;
    std::array<std::vector<double>, 3> Values;
    std::array<std::optional<double>, 3> Limits;
};

constexpr double W = 960, H = 320, L = 64, R = 150, T = 16, B = 46;
constexpr size_t Trend_From = 60, Trend_Of = 10;

void Write_Series_Chart(std::ostream& out, const Series_Chart& c, const Audit& a) {
    const size_t n = a.Checks.size();
    double lo = 1e300, hi = -1e300;
    auto scale = [&](double v) { return c.Log_Scale ? std::log10(std::max(v, 0.1)) : v; };
    for (const auto& s : c.Values)
        for (double v : s)
            lo = std::min(lo, scale(v)), hi = std::max(hi, scale(v));
    for (const auto& l : c.Limits)
        if (l) lo = std::min(lo, scale(*l)), hi = std::max(hi, scale(*l));
    if (lo > hi) lo = 0, hi = 1;
    if (c.Log_Scale) {
        lo = std::floor(lo), hi = std::ceil(hi);
        if (hi <= lo) hi = lo + 1;
    } else {
        lo = std::floor(lo) - 1, hi = std::ceil(hi) + 1;
    }
    const double pw = W - L - R, ph = H - T - B;
    auto x_of = [&](size_t i) {
        return L + (static_cast<double>(i) + 0.5) * pw / static_cast<double>(std::max<size_t>(n, 1));
    };
    auto y_of = [&](double v) { return T + ph - (scale(v) - lo) / (hi - lo) * ph; };

    // Hundreds of points a line: thin lines, so a drift shows as a band moving, not a blot.
    out << "<svg class=\"chart" << (n > 300 ? " dense" : "") << "\" id=\"" << c.Id << "\" viewBox=\"0 0 " << W
        << " " << H << "\" role=\"img\" aria-labelledby=\"" << c.Id << "-title\" data-points=\"" << n << "\">"
        << "<title id=\"" << c.Id << "-title\">" << Esc(c.Title) << "</title>";
    out << "<defs>";
    for (int s = 0; s < 3; ++s)
        out << "<marker id=\"" << c.Id << "-dot" << s << "\" viewBox=\"0 0 6 6\" refX=\"3\" refY=\"3\" "
            << "markerWidth=\"5\" markerHeight=\"5\"><circle cx=\"3\" cy=\"3\" r=\"2.6\" class=\"d"
            << Size_Keys[s] << "\"/></marker>";
    out << "</defs>";
    // The grid and the y axis labels.
    if (c.Log_Scale) {
        for (double e = lo; e <= hi + 1e-9; e += 1) {
            double y = T + ph - (e - lo) / (hi - lo) * ph;
            out << "<line class=\"grid\" x1=\"" << L << "\" x2=\"" << L + pw << "\" y1=\"" << Num(y)
                << "\" y2=\"" << Num(y) << "\"/><text x=\"" << L - 6 << "\" y=\"" << Num(y + 4)
                << "\" text-anchor=\"end\">" << Num(std::pow(10.0, e), 0) << "</text>";
        }
    } else {
        int step = hi - lo > 16 ? 2 : 1;
        for (int v = static_cast<int>(lo); v <= static_cast<int>(hi); v += step) {
            double y = y_of(v);
            out << "<line class=\"grid\" x1=\"" << L << "\" x2=\"" << L + pw << "\" y1=\"" << Num(y)
                << "\" y2=\"" << Num(y) << "\"/><text x=\"" << L - 6 << "\" y=\"" << Num(y + 4)
                << "\" text-anchor=\"end\">" << v << "</text>";
        }
    }
    out << "<line class=\"axis\" x1=\"" << L << "\" x2=\"" << L << "\" y1=\"" << T << "\" y2=\"" << T + ph
        << "\"/><line class=\"axis\" x1=\"" << L << "\" x2=\"" << L + pw << "\" y1=\"" << T + ph << "\" y2=\""
        << T + ph << "\"/>";
    out << "<text x=\"14\" y=\"" << Num(T + ph / 2) << "\" text-anchor=\"middle\" transform=\"rotate(-90 14 "
        << Num(T + ph / 2) << ")\">" << Esc(c.Y_Label) << "</text>";
    // The x axis: a label where the date changes, no closer than 90 px to the one before.
    double last_label = -1e9;
    Day last_day = 0;
    for (size_t i = 0; i < n; ++i) {
        const Check_Point& p = a.Checks[i];
        if (p.Date == last_day) continue;
        last_day = p.Date;
        double x = x_of(i);
        if (x - last_label < 90) continue;
        last_label = x;
        out << "<line class=\"axis\" x1=\"" << Num(x) << "\" x2=\"" << Num(x) << "\" y1=\"" << T + ph
            << "\" y2=\"" << T + ph + 5 << "\"/><text x=\"" << Num(x) << "\" y=\"" << T + ph + 18
            << "\" text-anchor=\"middle\">" << Day_Text(p.Date) << "</text>";
    }
    out << "<text x=\"" << Num(L + pw / 2) << "\" y=\"" << H - 6
        << "\" text-anchor=\"middle\">check standards in the "
        << "order they were run (" << n << ")</text>";
    // Failed check standards: a band across the chart and a cross above the highest value.
    for (size_t i = 0; i < n; ++i) {
        const Check_Point& p = a.Checks[i];
        if (!p.Failed) continue;
        double x = x_of(i), bw = std::max(3.0, pw / static_cast<double>(n) * 0.8);
        double top = T + ph;
        for (const auto& s : c.Values)
            top = std::min(top, y_of(s[i]));
        top = std::max(top - 12, T + 6.0);
        out << "<g class=\"failed\" data-line=\"" << p.Line << "\"><title>Failed check standard, line "
            << p.Line << ", " << Day_Text(p.Date) << " " << Esc(p.Time) << ": " << Code_Text(p.Code)
            << "</title>"
            << "<rect class=\"failed-band\" x=\"" << Num(x - bw / 2) << "\" y=\"" << T << "\" width=\""
            << Num(bw) << "\" height=\"" << ph << "\"/><path class=\"failed-mark\" d=\"M" << Num(x - 5) << " "
            << Num(top - 5) << "L" << Num(x + 5) << " " << Num(top + 5) << "M" << Num(x - 5) << " "
            << Num(top + 5) << "L" << Num(x + 5) << " " << Num(top - 5) << "\"/></g>";
    }
    // The limits, labelled at the right end, nudged apart where two coincide.
    std::vector<double> label_ys;
    for (int s = 0; s < 3; ++s) {
        if (!c.Limits[s]) continue;
        double y = y_of(*c.Limits[s]);
        double ly = y + 4;
        for (double u : label_ys)
            if (std::fabs(u - ly) < 14) ly = u + 14;
        label_ys.push_back(ly);
        out << "<line class=\"limit s" << Size_Keys[s] << "\" data-size=\"" << Size_Keys[s]
            << "\" data-limit=\"" << Num(*c.Limits[s], 0) << "\" x1=\"" << L << "\" x2=\"" << L + pw
            << "\" y1=\"" << Num(y) << "\" y2=\"" << Num(y) << "\"/><text x=\"" << L + pw + 6 << "\" y=\""
            << Num(ly) << "\">limit " << Size_Names[s] << " " << Num(*c.Limits[s], 0) << "</text>";
    }
    // One line per size; dots on the points while they stay apart.
    bool dots = n > 0 && pw / static_cast<double>(n) >= 4;
    for (int s = 0; s < 3; ++s) {
        out << "<polyline class=\"series s" << Size_Keys[s] << "\" data-size=\"" << Size_Keys[s] << "\"";
        if (dots)
            for (const char* m : {"start", "mid", "end"})
                out << " marker-" << m << "=\"url(#" << c.Id << "-dot" << s << ")\"";
        out << " points=\"";
        for (size_t i = 0; i < n; ++i)
            out << (i ? " " : "") << Num(x_of(i)) << "," << Num(y_of(c.Values[s][i]));
        out << "\"/>";
    }
    // Over many points a drift hides in the scatter: the mean of the last ten shows where it goes.
    if (n > Trend_From) {
        for (int s = 0; s < 3; ++s) {
            out << "<polyline class=\"trend s" << Size_Keys[s] << "\" points=\"";
            double sum = 0;
            for (size_t i = 0; i < n; ++i) {
                sum += scale(c.Values[s][i]);
                if (i >= Trend_Of) sum -= scale(c.Values[s][i - Trend_Of]);
                if (i + 1 < Trend_Of) continue;
                double mean = sum / Trend_Of;
                out << (i + 1 > Trend_Of ? " " : "") << Num(x_of(i)) << ","
                    << Num(T + ph - (mean - lo) / (hi - lo) * ph);
            }
            out << "\"/>";
        }
    }
    out << "</svg>\n";
}

// "<th>Code 4 µm(c)</th>..." for the three sizes.
std::string Size_Headers(const std::string& before) {
    std::string out;
    for (const char* name : Size_Names)
        out += "<th>" + before + name + "</th>";
    return out;
}

void Write_Legend(std::ostream& out, bool limits, bool trend, bool failed) {
    out << "<p class=\"legend\" aria-hidden=\"true\"><span class=\"k4\">4 µm(c)</span>"
        << "<span class=\"k6\">6 µm(c)</span><span class=\"k14\">14 µm(c)</span>"
        << (limits ? "<span class=\"kl\">check limit (dashed)</span>" : "")
        << (trend ? "<span class=\"kt\">thick line: mean of the last 10</span>" : "")
        << (failed ? "<span class=\"kf\">failed check standard</span>" : "") << "</p>\n";
}

void Write_Checks(std::ostream& out, const Audit& a) {
    out << "<section id=\"checks\"><h2>Check standards</h2>\n";
    if (a.Checks.empty()) {
        out << "<p class=\"empty\">No check standard in the logs for this period.</p></section>\n";
        return;
    }
    if (a.Checks_Left_Out > 0)
        out << "<p class=\"notes\">The charts show the latest " << a.Checks.size() << " check standards; "
            << a.Checks_Left_Out
            << " earlier ones are counted in the figures but not drawn. Narrow the period "
            << "with --from and --to to see them.</p>\n";
    Series_Chart codes;
    codes.Id = "check-codes";
    codes.Title = "Check standard codes at 4, 6 and 14 µm(c) with the check limits of settings.txt";
    codes.Y_Label = "ISO 4406 code";
    codes.Limits = {double(a.Limits.ISO2_CHECK), double(a.Limits.ISO5_CHECK), double(a.Limits.ISO15_CHECK)};
    Series_Chart counts;
    counts.Id = "check-counts";
    counts.Title = "Check standard counts per mL at 4, 6 and 14 µm(c)";
    counts.Y_Label = "particles per mL";
    counts.Log_Scale = true;
    for (const Check_Point& p : a.Checks)
        for (size_t s = 0; s < 3; ++s) {
            codes.Values[s].push_back(p.Code[s]);
            counts.Values[s].push_back(p.Per_mL[s]);
        }
    out << "<figure><figcaption>" << Esc(codes.Title) << "</figcaption>";
    Write_Legend(out, true, a.Checks.size() > Trend_From, true);
    Write_Series_Chart(out, codes, a);
    out << "</figure>\n<figure><figcaption>" << Esc(counts.Title) << "</figcaption>";
    Write_Series_Chart(out, counts, a);
    out << "</figure>\n";
    out << "<h3 id=\"check-values\">Values of the check-standard charts</h3>\n<div class=\"scroll\"><table "
        << "id=\"check-table\" aria-describedby=\"check-values\"><thead><tr><th>#</th><th "
           "class=\"t\">Date</th>"
        << "<th class=\"t\">Time</th><th>Log line</th>" << Size_Headers("Code ") << Size_Headers("Per mL ")
        << "<th class=\"t\">Verdict</th></tr></thead><tbody>\n";
    long i = a.Checks_Left_Out;
    for (const Check_Point& p : a.Checks) {
        out << "<tr" << (p.Failed ? " class=\"failed\"" : "") << " data-line=\"" << p.Line << "\"><td>" << ++i
            << "</td><td class=\"t\">" << Day_Text(p.Date) << "</td><td class=\"t\">" << Esc(p.Time)
            << "</td><td>" << p.Line << "</td>";
        for (int c : p.Code)
            out << "<td>" << c << "</td>";
        for (int32_t v : p.Per_mL)
            out << "<td>" << v << "</td>";
        out << "<td class=\"t\">" << (p.Failed ? "failed" : "passed")
            << (p.In_Check_Log ? "" : " (judged by the limits: not in a check-standard log)")
            << "</td></tr>\n";
    }
    out << "</tbody></table></div></section>\n";
}

void Write_Day_Row(std::ostream& out, const char* cls, const std::string& label, const Day_Figures& d,
                   bool unnamed) {
    out << "<tr class=\"" << cls << "\" data-day=\"" << label << "\" data-counts=\"" << d.Counts()
        << "\" data-samples=\"" << d.Samples << "\" data-reruns=\"" << d.Reruns << "\" data-checks=\""
        << d.Checks << "\" data-checks-failed=\"" << d.Checks_Failed << "\" data-flushes=\"" << d.Flushes
        << "\" data-flushes-failed=\"" << d.Flushes_Failed << "\" data-invalid=\"" << d.Invalid
        << "\" data-tests=\"" << d.Tests << "\" data-unnamed=\"" << d.Unnamed << "\"><td class=\"t\">"
        << label << "</td><td>" << d.Counts() << "</td><td>" << d.Samples << "</td><td>"
        << Samples_Per_Hour(d) << "</td><td>" << With_Rate(d.Reruns, d.Samples) << "</td><td>" << d.Checks
        << "</td><td>" << With_Rate(d.Checks_Failed, d.Checks) << "</td><td>" << d.Flushes << "</td><td>"
        << With_Rate(d.Flushes_Failed, d.Flushes) << "</td><td>" << With_Rate(d.Invalid, d.Counts())
        << "</td><td>" << d.Tests << "</td>";
    if (unnamed) out << "<td>" << d.Unnamed << "</td>";
    out << "</tr>\n";
}

void Write_Shift(std::ostream& out, const Audit& a) {
    out << "<section id=\"shift\"><h2>The shifts in numbers</h2>\n";
    if (a.Days.empty()) {
        out << "<p class=\"empty\">No count in the logs for this period.</p></section>\n";
        return;
    }
    out << "<p>Samples per hour are over the time from the day's first count to its last. A rerun is a "
           "sample "
           "counted again before the next sample; invalid counts are those the station refused (all codes "
           "below "
           "3, or counts it could not use); rates are of the samples, check standards, flushes and counts "
           "respectively.</p>\n";
    bool unnamed = a.Total.Unnamed > 0;
    out << "<div class=\"scroll\"><table id=\"shift-table\"><caption class=\"t\">Counts per "
           "day</caption><thead><tr>"
        << "<th class=\"t\">Day</th><th>Counts</th><th>Samples</th><th>Samples per hour</th><th>Reruns</th>"
        << "<th>Check standards</th><th>Checks failed</th><th>Flushes</th><th>Flushes failed</th>"
        << "<th>Invalid counts</th><th>Test runs</th>" << (unnamed ? "<th>Runs not named</th>" : "")
        << "</tr></thead><tbody>\n";
    for (const auto& [d, f] : a.Days)
        Write_Day_Row(out, "day", Day_Text(d), f, unnamed);
    out << "</tbody><tfoot>\n";
    Write_Day_Row(out, "total", "All days", a.Total, unnamed);
    out << "</tfoot></table></div></section>\n";
}

void Write_Samples(std::ostream& out, const Audit& a) {
    out << "<section id=\"samples\"><h2>The samples' codes</h2>\n";
    if (a.Total.Samples == 0) {
        out << "<p class=\"empty\">No sample count in the logs for this period.</p></section>\n";
        return;
    }
    int lo = 29, hi = 0;
    long top = 1;
    for (const auto& size : a.Histogram)
        for (int c = 0; c < 30; ++c)
            if (size[static_cast<size_t>(c)]) {
                lo = std::min(lo, c), hi = std::max(hi, c);
                top = std::max(top, size[static_cast<size_t>(c)]);
            }
    const double w = 960, h = 280, l = 64, b = 40, t = 14, pw = w - l - 20, ph = h - t - b;
    const int codes = hi - lo + 1;
    const double group = pw / codes, bar = std::min(22.0, group / 3.6);
    const char* title = "How the samples' codes spread at 4, 6 and 14 µm(c)";
    out << "<figure><figcaption>" << title << "</figcaption>";
    Write_Legend(out, false, false, false);
    out << "<svg class=\"chart\" id=\"code-histogram\" viewBox=\"0 0 " << w << " " << h
        << "\" role=\"img\" aria-labelledby=\"code-histogram-title\"><title id=\"code-histogram-title\">"
        << title << "</title>";
    // Round steps on the count axis: 1, 2 or 5 times a power of ten, four or five of them.
    double step = std::pow(10.0, std::floor(std::log10(std::max(1.0, top / 4.0))));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (step * m * 5 >= static_cast<double>(top)) {
            step *= m;
            break;
        }
    const double axis_top = std::ceil(static_cast<double>(top) / step) * step;
    for (double v = 0; v <= axis_top + step / 2; v += step) {
        double y = t + ph - ph * v / axis_top;
        out << "<line class=\"grid\" x1=\"" << l << "\" x2=\"" << l + pw << "\" y1=\"" << Num(y) << "\" y2=\""
            << Num(y) << "\"/><text x=\"" << l - 6 << "\" y=\"" << Num(y + 4) << "\" text-anchor=\"end\">"
            << Num(v, 0) << "</text>";
    }
    for (int c = lo; c <= hi; ++c) {
        double gx = l + (c - lo) * group + group / 2;
        for (int s = 0; s < 3; ++s) {
            long v = a.Histogram[static_cast<size_t>(s)][static_cast<size_t>(c)];
            double bh = ph * static_cast<double>(v) / axis_top;
            out << "<rect class=\"bar" << Size_Keys[s] << "\" data-size=\"" << Size_Keys[s]
                << "\" data-code=\"" << c << "\" data-samples=\"" << v << "\" x=\""
                << Num(gx + (s - 1.5) * bar) << "\" y=\"" << Num(t + ph - bh) << "\" width=\"" << Num(bar - 1)
                << "\" height=\"" << Num(bh) << "\"/>";
        }
        out << "<text x=\"" << Num(gx) << "\" y=\"" << t + ph + 16 << "\" text-anchor=\"middle\">" << c
            << "</text>";
    }
    out << "<line class=\"axis\" x1=\"" << l << "\" x2=\"" << l + pw << "\" y1=\"" << t + ph << "\" y2=\""
        << t + ph << "\"/><text x=\"" << Num(l + pw / 2) << "\" y=\"" << h - 4
        << "\" text-anchor=\"middle\">ISO 4406 code"
        << "</text><text x=\"14\" y=\"" << Num(t + ph / 2)
        << "\" text-anchor=\"middle\" transform=\"rotate(-90 14 " << Num(t + ph / 2)
        << ")\">samples</text></svg></figure>\n";
    out << "<div class=\"side\"><table id=\"histogram-table\"><caption class=\"t\">Samples by "
           "code</caption><thead>"
        << "<tr><th>Code</th>" << Size_Headers("") << "</tr></thead><tbody>";
    for (int c = lo; c <= hi; ++c) {
        out << "<tr><td>" << c << "</td>";
        for (int s = 0; s < 3; ++s)
            out << "<td>" << a.Histogram[static_cast<size_t>(s)][static_cast<size_t>(c)] << "</td>";
        out << "</tr>";
    }
    out << "</tbody></table>\n";
    auto list = [&](const char* id, const char* caption, const std::vector<Sample_Count>& v) {
        out << "<table id=\"" << id << "\"><caption class=\"t\">" << caption << "</caption><thead><tr>"
            << "<th class=\"t\">Lab number</th><th class=\"t\">Code 4/6/14 µm(c)</th><th "
               "class=\"t\">Counted</th>"
            << "<th>Log line</th></tr></thead><tbody>";
        for (const Sample_Count& s : v)
            out << "<tr><td class=\"t\">" << Esc(s.Lab_Number) << "</td><td class=\"t\">" << Code_Text(s.Code)
                << "</td><td class=\"t\">" << Day_Text(s.Date) << " " << Esc(s.Time) << "</td><td>" << s.Line
                << "</td></tr>";
        out << "</tbody></table>\n";
    };
    list("cleanest", "The cleanest samples", a.Cleanest);
    list("dirtiest", "The dirtiest samples", a.Dirtiest);
    out << "</div></section>\n";
}

void Write_Unreadable(std::ostream& out, const Audit& a) {
    out << "<section id=\"unreadable\"><h2>Lines that could not be read</h2>\n";
    if (a.Unreadable_Total == 0) {
        out << "<p id=\"unreadable-none\">Every line of the logs was read.</p></section>\n";
        return;
    }
    out << "<p>These lines are counted nowhere above (" << a.Unreadable_Total << " in all).</p>\n"
        << "<div class=\"scroll\"><table id=\"unreadable-table\" data-total=\"" << a.Unreadable_Total
        << "\"><thead><tr><th class=\"t\">Log</th><th>Line</th><th "
           "class=\"t\">Why</th></tr></thead><tbody>\n";
    for (const Unreadable_Line& u : a.Unreadable)
        out << "<tr><td class=\"t\">" << Esc(u.File) << "</td><td>" << u.Line << "</td><td class=\"t\">"
            << Esc(u.Why) << "</td></tr>\n";
    out << "</tbody></table></div>\n";
    if (a.Unreadable_Total > static_cast<long>(a.Unreadable.size()))
        out << "<p>" << a.Unreadable_Total - static_cast<long>(a.Unreadable.size())
            << " more lines could not be read; the first " << a.Unreadable.size() << " are listed.</p>\n";
    out << "</section>\n";
}

} // namespace

void Write_Page(std::ostream& out, const Audit& a, const Page_Info& info) {
    std::string period;
    if (info.From || info.To)
        period = (info.From ? Day_Text(*info.From) : "the start") + " to " +
                 (info.To ? Day_Text(*info.To) : "the end");
    else if (!a.Days.empty())
        period = Day_Text(a.Days.begin()->first) + " to " + Day_Text(a.Days.rbegin()->first);
    else
        period = "no count";
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        << "<title>Particle counter audit: " << Esc(info.Folder) << "</title><style>" << Style
        << "</style></head><body>\n<header><h1>Particle counter audit</h1>\n<p class=\"meta\">Program folder "
           "<b>"
        << Esc(info.Folder) << "</b> · period " << period << " · " << a.Lines_Read
        << " lines in the active log · made " << Esc(info.Generated) << "</p>\n";
    const Day_Figures& t = a.Total;
    out << "<ul class=\"cards\">"
        << "<li><b>" << t.Samples << "</b>samples counted</li>"
        << "<li><b>" << t.Checks << "</b>check standards</li>"
        << "<li" << (t.Checks_Failed ? " class=\"bad\"" : "") << "><b>" << t.Checks_Failed
        << "</b>check standards failed</li>"
        << "<li><b>" << t.Flushes << "</b>flushes (" << t.Flushes_Failed << " failed)</li>"
        << "<li><b>" << t.Reruns << "</b>reruns</li>"
        << "<li" << (t.Invalid ? " class=\"bad\"" : "") << "><b>" << t.Invalid << "</b>invalid counts</li>"
        << "<li" << (a.Unreadable_Total ? " class=\"bad\"" : "") << "><b>" << a.Unreadable_Total
        << "</b>lines not read</li></ul>\n";
    out << "<table id=\"limits\"><caption class=\"t\">Limits in force (settings.txt): highest code "
           "allowed</caption>"
        << "<thead><tr><th class=\"t\">Run</th>" << Size_Headers("") << "</tr></thead><tbody>"
        << "<tr data-run=\"check\"><td class=\"t\">Check standard</td><td>" << a.Limits.ISO2_CHECK
        << "</td><td>" << a.Limits.ISO5_CHECK << "</td><td>" << a.Limits.ISO15_CHECK
        << "</td></tr><tr data-run=\"flush\"><td "
        << "class=\"t\">Flush</td><td>" << a.Limits.ISO2_FLUSH << "</td><td>" << a.Limits.ISO5_FLUSH
        << "</td><td>" << a.Limits.ISO15_FLUSH << "</td></tr></tbody></table>\n";
    if (!a.Notes.empty() || a.Outside_Range > 0) {
        out << "<div class=\"notes\">";
        for (const auto& n : a.Notes)
            out << "<p>" << Esc(n) << "</p>";
        if (a.Outside_Range > 0)
            out << "<p>" << a.Outside_Range << " counts dated outside the period are left out.</p>";
        out << "</div>\n";
    }
    out << "</header>\n<main>\n";
    Write_Checks(out, a);
    Write_Shift(out, a);
    Write_Samples(out, a);
    Write_Unreadable(out, a);
    out << "</main></body></html>\n";
}

} // namespace pcs::audit
