#include "db/secrets.h"

#include "common/text.h"

#include <algorithm>
#include <cctype>

namespace pcs::db {

namespace {

bool Word_Char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$';
}

bool Blank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

size_t Skip_Blanks(std::string_view s, size_t i) {
    while (i < s.size() && Blank(s[i]))
        ++i;
    return i;
}

bool Is_Secret_Name(std::string_view name) {
    std::string n = LCase(name);
    return Contains(n, "password") || Contains(n, "passwd") || Contains(n, "pwd");
}

// After a quote at i - 1: does the argument end here? Only the end of the text, ";" or the next named
// argument may follow a procedure argument.
bool Ends_Argument(std::string_view s, size_t i) {
    i = Skip_Blanks(s, i);
    if (i == s.size() || s[i] == ';') return true;
    if (s[i] != ',') return false;
    i = Skip_Blanks(s, i + 1);
    return i < s.size() && s[i] == '@';
}

// The closing quote of the literal that opens at `open`; s.size() when it never closes. In a procedure
// call a quote inside a password need not be doubled (the station sends it as typed), so the literal
// closes only where the argument ends.
size_t Closing_Quote(std::string_view s, size_t open, bool procedure_call) {
    size_t j = open + 1;
    while (true) {
        size_t q = s.find('\'', j);
        if (q == std::string_view::npos) return s.size();
        if (procedure_call) {
            if (Ends_Argument(s, q + 1)) return q;
            j = q + 1;
        } else {
            if (q + 1 < s.size() && s[q + 1] == '\'') {
                j = q + 2;
                continue;
            }
            return q;
        }
    }
}

std::string Undoubled(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        out += s[i];
        if (s[i] == '\'' && i + 1 < s.size() && s[i + 1] == '\'') ++i;
    }
    return out;
}

struct Call_Head {
    bool Is_Call = false;     // exec / execute, or a bare procedure name
    bool Secret_Proc = false; // the procedure's name holds a password word
    size_t Args = 0;          // where its arguments start
};

Call_Head Read_Head(std::string_view s) {
    Call_Head h;
    size_t i = Skip_Blanks(s, 0);
    auto word_end = [&](size_t from) {
        size_t j = from;
        while (j < s.size() && (Word_Char(s[j]) || s[j] == '.' || s[j] == '[' || s[j] == ']'))
            ++j;
        return j;
    };
    size_t e = word_end(i);
    std::string first = LCase(s.substr(i, e - i));
    if (first == "exec" || first == "execute") {
        h.Is_Call = true;
        i = Skip_Blanks(s, e);
        e = word_end(i);
    } else {
        // A bare procedure name: a dotted name followed by its arguments.
        h.Is_Call = first.find('.') != std::string::npos;
    }
    h.Secret_Proc = h.Is_Call && Is_Secret_Name(s.substr(i, e - i));
    h.Args = e;
    return h;
}

} // namespace

Masked_Statement Mask_Passwords(std::string_view s) {
    Masked_Statement out;
    Call_Head head = Read_Head(s);
    size_t args = Skip_Blanks(s, head.Args);
    if (head.Secret_Proc && args < s.size() && s[args] != '@' && s[args] != ';') {
        // Positional arguments: which one is the password is the procedure's business, so none is shown.
        out.Text = std::string(s.substr(0, args)) + Secret_Mask;
        out.Secrets.emplace_back(s.substr(args));
        return out;
    }
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\'') {
            size_t close = Closing_Quote(s, i, false);
            size_t end = std::min(close + 1, s.size());
            out.Text.append(s.substr(i, end - i));
            i = end;
            continue;
        }
        if (!Word_Char(c)) {
            out.Text += c;
            ++i;
            continue;
        }
        size_t j = i;
        while (j < s.size() && Word_Char(s[j]))
            ++j;
        std::string_view word = s.substr(i, j - i);
        out.Text.append(word);
        i = j;
        size_t eq = Skip_Blanks(s, j);
        if (!Is_Secret_Name(word) || eq >= s.size() || s[eq] != '=') continue;
        size_t v = Skip_Blanks(s, eq + 1);
        out.Text.append(s.substr(j, v - j));
        if (v + 1 < s.size() && (s[v] == 'N' || s[v] == 'n') && s[v + 1] == '\'') out.Text += s[v++];
        if (v < s.size() && s[v] == '\'') {
            size_t close = Closing_Quote(s, v, head.Is_Call);
            std::string_view value = s.substr(v + 1, close - std::min(close, v + 1));
            out.Secrets.emplace_back(value);
            out.Secrets.push_back(Undoubled(value));
            out.Text += std::string("'") + Secret_Mask + "'";
            i = std::min(close + 1, s.size());
        } else {
            size_t end = v;
            while (end < s.size() && s[end] != ',' && s[end] != ';' && s[end] != ')' && !Blank(s[end]))
                ++end;
            out.Secrets.emplace_back(s.substr(v, end - v));
            out.Text += Secret_Mask;
            i = end;
        }
    }
    return out;
}

std::string Without_Secrets(std::string text, const std::vector<std::string>& secrets) {
    std::vector<std::string> pieces;
    for (const auto& s : secrets) {
        if (s.empty()) continue;
        pieces.push_back(s);
        // A parser's message may quote a piece of a value that held a stray quote.
        for (const auto& part : Split(s, '\''))
            if (part.size() >= 3) pieces.push_back(part);
    }
    // Longest first, so a whole secret is not left half masked by one of its pieces.
    std::sort(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    for (const auto& p : pieces) {
        size_t at = 0;
        while ((at = text.find(p, at)) != std::string::npos) {
            text.replace(at, p.size(), Secret_Mask);
            at += std::char_traits<char>::length(Secret_Mask);
        }
    }
    return text;
}

std::vector<std::string> Connect_String_Secrets(std::string_view cs) {
    std::vector<std::string> out;
    if (!Trim(cs).empty()) out.emplace_back(cs);
    size_t i = 0;
    while (i < cs.size()) {
        size_t eq = cs.find('=', i);
        if (eq == std::string_view::npos) break;
        std::string key = UCase(Trim(cs.substr(i, eq - i)));
        size_t v = Skip_Blanks(cs, eq + 1), end;
        std::string value;
        if (v < cs.size() && cs[v] == '{') {
            // A braced value may hold ";".
            end = cs.find('}', v);
            if (end == std::string_view::npos) end = cs.size();
            value = cs.substr(v + 1, end - v - 1);
            end = cs.find(';', end);
        } else {
            end = cs.find(';', v);
            value = Trim(cs.substr(v, end == std::string_view::npos ? cs.size() - v : end - v));
        }
        if ((key == "PWD" || key == "PASSWORD") && !value.empty()) out.push_back(value);
        if (end == std::string_view::npos) break;
        i = end + 1;
    }
    return out;
}

Connect_Error Without_Secrets(const Connect_Error& e, std::string_view connect_string) {
    auto secrets = Connect_String_Secrets(connect_string);
    std::vector<Error_Record> records = e.Records();
    for (auto& r : records)
        r.Description = Without_Secrets(r.Description, secrets);
    return Connect_Error(Without_Secrets(e.what(), secrets), std::move(records));
}

} // namespace pcs::db
