#include "sql_dialect.h"

#include "common/sql.h"
#include "common/text.h"

#include <algorithm>
#include <array>

namespace pcs::embedded {

namespace {

bool Is_Word_Start(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' || c >= 0x80;
}
bool Is_Word_Char(unsigned char c) {
    return Is_Word_Start(c) || (c >= '0' && c <= '9') || c == '$';
}
bool Is_Digit(char c) {
    return c >= '0' && c <= '9';
}
bool Is_Space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

Dialect_Error Syntax_Error_Near(const std::string& text) {
    return Dialect_Error(102, "42000", "Incorrect syntax near '" + text + "'.");
}

// The keywords that start a statement SQLite runs as it stands (after the rewrite).
bool Is_Statement_Keyword(const std::string& upper) {
    static const std::array<const char*, 18> words = {
        "SELECT",  "INSERT", "UPDATE",  "DELETE",  "WITH",    "CREATE", "DROP",  "ALTER",  "PRAGMA",
        "EXPLAIN", "VALUES", "REPLACE", "ANALYZE", "REINDEX", "VACUUM", "BEGIN", "COMMIT", "ROLLBACK"};
    return std::find(words.begin(), words.end(), upper) != words.end();
}

bool Is_Table_Hint(const std::string& upper) {
    static const std::array<const char*, 15> hints = {
        "NOLOCK",   "READUNCOMMITTED", "READCOMMITTED",  "HOLDLOCK",     "UPDLOCK",
        "ROWLOCK",  "PAGLOCK",         "TABLOCK",        "TABLOCKX",     "NOWAIT",
        "READPAST", "XLOCK",           "REPEATABLEREAD", "SERIALIZABLE", "NOEXPAND"};
    return std::find(hints.begin(), hints.end(), upper) != hints.end();
}

bool Significant(const Token& t) {
    return t.Kind != Token_Kind::Space && t.Kind != Token_Kind::Comment;
}

// Index of the next significant token at or after i, or toks.size().
size_t Next_Sig(const std::vector<Token>& toks, size_t i) {
    while (i < toks.size() && !Significant(toks[i]))
        ++i;
    return i;
}

bool Is_Punct(const std::vector<Token>& toks, size_t i, char c) {
    return i < toks.size() && toks[i].Kind == Token_Kind::Punct && toks[i].Text.size() == 1 &&
           toks[i].Text[0] == c;
}

bool Is_Name(const Token& t) {
    return t.Kind == Token_Kind::Word || t.Kind == Token_Kind::Quoted_Name;
}

std::string Name_Value(const Token& t) {
    return t.Kind == Token_Kind::Quoted_Name ? t.Value : t.Text;
}

// A dotted name starting at i ("a.b.c", "a..c", "[a].b"): its parts and the index after it.
// Parts stand directly next to the dots, as the station writes them.
struct Dotted_Name {
    std::vector<std::string> Parts;
    size_t End = 0;
};

Dotted_Name Read_Dotted_Name(const std::vector<Token>& toks, size_t i) {
    Dotted_Name n;
    n.Parts.push_back(Name_Value(toks[i]));
    size_t j = i + 1;
    while (Is_Punct(toks, j, '.')) {
        if (Is_Punct(toks, j + 1, '.')) { // "a..b": an empty owner
            n.Parts.push_back("");
            ++j;
            continue;
        }
        if (j + 1 < toks.size() && Is_Name(toks[j + 1])) {
            n.Parts.push_back(Name_Value(toks[j + 1]));
            j += 2;
        } else {
            break;
        }
    }
    n.End = j;
    return n;
}

std::string Join_Name(const std::vector<std::string>& parts) {
    std::string r;
    for (size_t k = 0; k < parts.size(); ++k)
        r += (k ? "." : "") + parts[k];
    return r;
}

// Reads the arguments of a call "(a, b)" starting at the "(" token; returns the argument texts and
// moves i past the ")".
std::vector<std::string> Read_Function_Arguments(const std::vector<Token>& toks, size_t& i) {
    std::vector<std::string> args(1);
    int depth = 0;
    for (; i < toks.size(); ++i) {
        const Token& t = toks[i];
        if (Is_Punct(toks, i, '(')) {
            if (depth++ == 0) continue;
        } else if (Is_Punct(toks, i, ')')) {
            if (--depth == 0) {
                ++i;
                for (auto& a : args)
                    a = Trim(a);
                return args;
            }
        } else if (Is_Punct(toks, i, ',') && depth == 1) {
            args.emplace_back();
            continue;
        }
        if (t.Kind == Token_Kind::String)
            args.back() += "'" + SQL_Escape(t.Value) + "'";
        else if (t.Kind != Token_Kind::Comment)
            args.back() += t.Text;
    }
    throw Dialect_Error(102, "42000", "Incorrect syntax: a ')' is missing.");
}

std::string Rewrite(const std::vector<Token>& toks, bool ready_counts) {
    std::string out;
    out.reserve(256);
    std::optional<std::string> limit;
    std::string previous_word; // upper case, the last significant word written
    int depth = 0;             // parentheses open at this point
    int statements = 0;        // ";" passed

    for (size_t i = 0; i < toks.size();) {
        const Token& t = toks[i];
        switch (t.Kind) {
        case Token_Kind::Comment:
            out += ' ';
            ++i;
            continue;
        case Token_Kind::String: {
            out += "'" + SQL_Escape(t.Value) + "'";
            ++i;
            previous_word.clear();
            continue;
        }
        case Token_Kind::Punct:
            if (t.Text == "(") {
                // Table hints: "(nolock)", "with (nolock, index(x))" are for the server's locking only.
                size_t j = Next_Sig(toks, i + 1);
                if (j < toks.size() && toks[j].Kind == Token_Kind::Word &&
                    Is_Table_Hint(UCase(toks[j].Text))) {
                    size_t k = i;
                    std::vector<std::string> ignored = Read_Function_Arguments(toks, k);
                    (void)ignored;
                    out += ' ';
                    i = k;
                    continue;
                }
            }
            out += t.Text;
            ++i;
            if (t.Text == "(") ++depth;
            if (t.Text == ")") --depth;
            if (t.Text == ";") ++statements;
            if (t.Text != ".") previous_word.clear();
            continue;
        case Token_Kind::Word:
        case Token_Kind::Quoted_Name: {
            std::string upper = UCase(t.Text);
            if (t.Kind == Token_Kind::Word) {
                size_t j = Next_Sig(toks, i + 1);
                if (upper == "WITH" && Is_Punct(toks, j, '(')) {
                    size_t k = Next_Sig(toks, j + 1);
                    if (k < toks.size() && toks[k].Kind == Token_Kind::Word &&
                        Is_Table_Hint(UCase(toks[k].Text))) {
                        Read_Function_Arguments(toks, j);
                        out += ' ';
                        i = j;
                        continue;
                    }
                }
                if (upper == "ISNULL" && Is_Punct(toks, j, '(')) {
                    out += "ifnull";
                    ++i;
                    continue;
                }
                if (upper == "TOP" && (previous_word == "SELECT" || previous_word == "DISTINCT")) {
                    bool paren = Is_Punct(toks, j, '(');
                    size_t n = paren ? Next_Sig(toks, j + 1) : j;
                    if (n < toks.size() && toks[n].Kind == Token_Kind::Number) {
                        size_t after = n + 1;
                        if (paren) {
                            after = Next_Sig(toks, after);
                            if (!Is_Punct(toks, after, ')')) throw Syntax_Error_Near(toks[n].Text);
                            ++after;
                        }
                        // SQLite's LIMIT ends the whole text: a TOP inside a sub-query, or a second
                        // one, would limit the wrong rows.
                        if (depth != 0 || statements != 0 || limit)
                            throw Dialect_Error(
                                102, "42000",
                                "Incorrect syntax near 'TOP': the embedded lab database takes "
                                "TOP only on the outermost select of a statement.");
                        limit = toks[n].Text;
                        out += ' ';
                        i = after;
                        continue;
                    }
                }
            }
            // A name right after a dot belongs to a dotted name already looked at as a whole: read it
            // alone, or a long chain of dots is read again from every part (quadratic).
            Dotted_Name name =
                Is_Punct(toks, i - 1, '.') ? Dotted_Name{{Name_Value(t)}, i + 1} : Read_Dotted_Name(toks, i);
            std::string object;
            std::optional<std::string> schema;
            if (name.Parts.size() == 3 && (name.Parts[1].empty() || Equals_No_Case(name.Parts[1], "dbo"))) {
                schema = Schema_Of(name.Parts[0]);
                if (!schema)
                    throw Dialect_Error(208, "42S02", "Invalid object name '" + Join_Name(name.Parts) + "'.");
                object = name.Parts[2];
            } else if (name.Parts.size() == 2 && Equals_No_Case(name.Parts[0], "dbo")) {
                schema = "main";
                object = name.Parts[1];
            } else if (name.Parts.size() == 1) {
                object = name.Parts[0];
            }
            if (!object.empty() && Equals_No_Case(object, "TBL_TestGroup_Count")) {
                size_t j = Next_Sig(toks, name.End);
                if (!Is_Punct(toks, j, '('))
                    throw Dialect_Error(
                        216, "42000", "Parameters were not supplied for the function 'TBL_TestGroup_Count'.");
                std::vector<std::string> args = Read_Function_Arguments(toks, j);
                if (args.size() != 2 || args[0].empty() || args[1].empty())
                    throw Dialect_Error(
                        313, "42000",
                        "An insufficient number of arguments were supplied for the procedure or function "
                        "TBL_TestGroup_Count.");
                out += Test_Group_Count_Sql(args[0], args[1], ready_counts);
                i = j;
                previous_word.clear();
                continue;
            }
            if (schema) {
                // Always quoted: an object may carry a name SQLite reserves.
                out += *schema + ".\"";
                for (char c : object)
                    out += c == '"' ? std::string("\"\"") : std::string(1, c);
                out += '"';
                i = name.End;
                previous_word.clear();
                continue;
            }
            if (t.Kind == Token_Kind::Quoted_Name) {
                out += '"';
                for (char c : t.Value)
                    out += c == '"' ? std::string("\"\"") : std::string(1, c);
                out += '"';
            } else
                out += t.Text;
            previous_word = t.Kind == Token_Kind::Word ? upper : std::string();
            ++i;
            continue;
        }
        default:
            out += t.Text;
            ++i;
            if (Significant(t)) previous_word.clear();
            continue;
        }
    }
    if (limit) {
        while (!out.empty() && (Is_Space(out.back()) || out.back() == ';'))
            out.pop_back();
        out += " limit " + *limit;
    }
    return out;
}

Procedure_Call Parse_Call(const std::vector<Token>& toks, size_t i) {
    Procedure_Call call;
    if (i >= toks.size() || !Is_Name(toks[i]))
        throw Dialect_Error(102, "42000",
                            "Incorrect syntax near '" +
                                (i < toks.size() ? toks[i].Text : std::string("exec")) +
                                "': a procedure name is expected.");
    Dotted_Name name = Read_Dotted_Name(toks, i);
    if (name.Parts.size() > 3)
        throw Dialect_Error(2812, "42000",
                            "Could not find stored procedure '" + Join_Name(name.Parts) + "'.");
    call.Full_Name = Join_Name(name.Parts);
    call.Name = name.Parts.back();
    if (name.Parts.size() >= 2) call.Owner = name.Parts[name.Parts.size() - 2];
    if (name.Parts.size() == 3) call.Database = name.Parts[0];
    if (call.Name.empty()) throw Syntax_Error_Near(call.Full_Name);

    bool named_seen = false;
    size_t j = Next_Sig(toks, name.End);
    if (j < toks.size() && !Is_Punct(toks, j, ';')) {
        for (;;) {
            Call_Argument arg;
            if (j < toks.size() && toks[j].Kind == Token_Kind::Variable &&
                Is_Punct(toks, Next_Sig(toks, j + 1), '=')) {
                arg.Name = LCase(toks[j].Text.substr(1));
                named_seen = true;
                j = Next_Sig(toks, Next_Sig(toks, j + 1) + 1);
            } else if (named_seen) {
                throw Dialect_Error(
                    119, "42000",
                    "Must pass parameter number " + std::to_string(call.Arguments.size() + 1) +
                        " and subsequent parameters as '@name = value'. After the form '@name "
                        "= value' has been used, all subsequent parameters must be passed in "
                        "the form '@name = value'.");
            }
            if (j >= toks.size()) throw Dialect_Error(102, "42000", "Incorrect syntax near '='.");
            const Token& v = toks[j];
            if (v.Kind == Token_Kind::String || v.Kind == Token_Kind::Quoted_Name) {
                arg.Value = v.Value;
            } else if (v.Kind == Token_Kind::Number) {
                arg.Value = v.Text;
            } else if (v.Kind == Token_Kind::Punct && (v.Text == "-" || v.Text == "+")) {
                size_t n = Next_Sig(toks, j + 1);
                if (n >= toks.size() || toks[n].Kind != Token_Kind::Number) throw Syntax_Error_Near(v.Text);
                arg.Value = (v.Text == "-" ? "-" : "") + toks[n].Text;
                j = n;
            } else if (v.Kind == Token_Kind::Word) {
                std::string upper = UCase(v.Text);
                if (upper == "NULL")
                    arg.Value.reset();
                else if (upper == "DEFAULT")
                    arg.Is_Default = true;
                else
                    arg.Value = v.Text; // the server takes a bare word as a text value
            } else if (v.Kind == Token_Kind::Variable) {
                throw Dialect_Error(137, "42000", "Must declare the scalar variable \"" + v.Text + "\".");
            } else {
                throw Syntax_Error_Near(v.Text);
            }
            call.Arguments.push_back(std::move(arg));
            j = Next_Sig(toks, j + 1);
            if (j < toks.size() && toks[j].Kind == Token_Kind::Word &&
                (UCase(toks[j].Text) == "OUTPUT" || UCase(toks[j].Text) == "OUT"))
                j = Next_Sig(toks, j + 1);
            if (j >= toks.size()) break;
            if (Is_Punct(toks, j, ',')) {
                j = Next_Sig(toks, j + 1);
                continue;
            }
            if (Is_Punct(toks, j, ';')) break;
            throw Syntax_Error_Near(toks[j].Text);
        }
    }
    if (j < toks.size() && Is_Punct(toks, j, ';')) {
        size_t rest = Next_Sig(toks, j + 1);
        if (rest < toks.size())
            throw Dialect_Error(102, "42000",
                                "Incorrect syntax near '" + toks[rest].Text +
                                    "': the embedded lab database runs one procedure call per statement.");
    }
    return call;
}

} // namespace

std::vector<Token> Tokenize(std::string_view sql) {
    std::vector<Token> toks;
    size_t i = 0, n = sql.size();
    auto push = [&](Token_Kind k, size_t from, size_t to, std::string value = {}) {
        toks.push_back(Token{k, std::string(sql.substr(from, to - from)), std::move(value)});
    };
    while (i < n) {
        char c = sql[i];
        size_t start = i;
        if (Is_Space(c)) {
            while (i < n && Is_Space(sql[i]))
                ++i;
            push(Token_Kind::Space, start, i);
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            push(Token_Kind::Comment, start, i);
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            if (end == std::string_view::npos)
                throw Dialect_Error(113, "42000", "Missing end comment mark '*/'.");
            i = end + 2;
            push(Token_Kind::Comment, start, i);
        } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'')) {
            if (c != '\'') ++i;
            ++i;
            std::string value;
            for (;;) {
                if (i >= n)
                    throw Dialect_Error(
                        105, "42000", "Unclosed quotation mark after the character string '" + value + "'.");
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        value += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += sql[i++];
            }
            push(Token_Kind::String, start, i, std::move(value));
        } else if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            ++i;
            std::string value;
            for (;;) {
                if (i >= n)
                    throw Dialect_Error(105, "42000",
                                        "Unclosed quotation mark after the name '" + value + "'.");
                if (sql[i] == close) {
                    if (i + 1 < n && sql[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += sql[i++];
            }
            push(Token_Kind::Quoted_Name, start, i, std::move(value));
        } else if (c == '@') {
            ++i;
            while (i < n && (Is_Word_Char(static_cast<unsigned char>(sql[i])) || sql[i] == '@'))
                ++i;
            push(Token_Kind::Variable, start, i);
        } else if (Is_Digit(c) || (c == '.' && i + 1 < n && Is_Digit(sql[i + 1]))) {
            while (i < n && Is_Digit(sql[i]))
                ++i;
            if (i < n && sql[i] == '.') {
                ++i;
                while (i < n && Is_Digit(sql[i]))
                    ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t k = i + 1;
                if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k < n && Is_Digit(sql[k])) {
                    i = k;
                    while (i < n && Is_Digit(sql[i]))
                        ++i;
                }
            }
            push(Token_Kind::Number, start, i);
        } else if (Is_Word_Start(static_cast<unsigned char>(c))) {
            while (i < n && Is_Word_Char(static_cast<unsigned char>(sql[i])))
                ++i;
            push(Token_Kind::Word, start, i);
        } else {
            ++i;
            push(Token_Kind::Punct, start, i);
        }
    }
    return toks;
}

std::optional<std::string> Schema_Of(std::string_view database) {
    if (Equals_No_Case(database, "lab")) return std::string("main");
    if (Equals_No_Case(database, "labrack")) return std::string("labrack");
    if (Equals_No_Case(database, "sop")) return std::string("sop");
    if (Equals_No_Case(database, "hadel")) return std::string("hadel");
    return std::nullopt;
}

// One statement per text, and none of the commands that reach other files or change how the file set
// is kept (ATTACH, DETACH, VACUUM INTO, PRAGMA), wherever they stand in it.
void Refuse_Outside_Commands(const std::vector<Token>& toks) {
    for (size_t i = 0; i < toks.size(); ++i) {
        if (toks[i].Kind == Token_Kind::Word) {
            std::string upper = UCase(toks[i].Text);
            if (upper == "ATTACH" || upper == "DETACH" || upper == "VACUUM" || upper == "PRAGMA")
                throw Dialect_Error(262, "42000",
                                    upper + " is not allowed: the lab databases are attached when the "
                                            "connection opens and kept by labdb.");
        } else if (Is_Punct(toks, i, ';') && Next_Sig(toks, i + 1) < toks.size()) {
            throw Dialect_Error(102, "42000",
                                "Incorrect syntax near ';': the embedded lab database answers one "
                                "statement per text.");
        }
    }
}

Parsed_Statement Parse_Statement(std::string_view sql, bool ready_counts) {
    std::vector<Token> toks = Tokenize(sql);
    size_t first = Next_Sig(toks, 0);
    if (first >= toks.size()) throw Dialect_Error(102, "42000", "The statement is empty.");
    Refuse_Outside_Commands(toks);
    const Token& t = toks[first];
    if (t.Kind == Token_Kind::Word) {
        std::string upper = UCase(t.Text);
        if (upper == "EXEC" || upper == "EXECUTE") return Parse_Call(toks, Next_Sig(toks, first + 1));
        if (Is_Statement_Keyword(upper)) return Plain_Statement{Rewrite(toks, ready_counts)};
        return Parse_Call(toks, first);
    }
    if (t.Kind == Token_Kind::Quoted_Name) return Parse_Call(toks, first);
    throw Syntax_Error_Near(t.Text);
}

std::string Test_Group_Count_Sql(const std::string& lab_code_expr, const std::string& test_group_expr,
                                 bool ready_counts) {
    // One row per test group asked for (every group for null): the outstanding (READY) tests of the
    // lab, and whether the group's samples are weighed before the test.
    const std::string count =
        ready_counts ? "coalesce((select c.N from main.ready_counts c where c.LAB_CODE = a.lab_code and "
                       "c.TEST_GROUP = g.TEST_GROUP), 0)"
                     : "(select count(*) from main.lab_tracking t where t.TEST_GROUP = g.TEST_GROUP and "
                       "t.STATUS = 'READY' and t.LAB_CODE = a.lab_code)";
    return "(with tgc_args(lab_code, test_group) as (select " + lab_code_expr + ", " + test_group_expr +
           ") select g.TEST_GROUP as TEST_GROUP, a.lab_code as LAB_CODE, g.IS_WEIGHED as isWeighed, " +
           count +
           " as COUNT from main.test_groups g cross join tgc_args a "
           "where a.test_group is null or g.TEST_GROUP = a.test_group)";
}

} // namespace pcs::embedded
