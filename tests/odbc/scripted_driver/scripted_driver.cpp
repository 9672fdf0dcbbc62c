// A tiny ODBC driver for the tests, loaded by the real unixODBC driver manager. It answers what the
// SQLite ODBC driver never does: a query timeout (HYT00), warnings on a statement that ran
// (SQL_SUCCESS_WITH_INFO), and row counts ahead of a procedure's result set. The statement text picks
// the answer (see Script_For). Every statement is appended to the file named by PCS_SCRIPTED_DRIVER_LOG.
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Record {
    std::string state;
    SQLINTEGER native;
    std::string text;
};

struct Handle_Base {
    std::vector<Record> diag;
};

struct Result {
    std::vector<std::string> columns; // none: a row count
    std::vector<std::vector<std::optional<std::string>>> rows;
    SQLRETURN on_reach = SQL_SUCCESS; // what arriving at this result answers
    std::vector<Record> reach_diag;
    bool fetch_times_out = false;
};

struct Env : Handle_Base {};
struct Dbc : Handle_Base {};
struct Stmt : Handle_Base {
    std::vector<Result> results;
    size_t current = 0;
    long row = -1;
    size_t got_column = 0, got_offset = 0;
};

Record Info(const char* state, SQLINTEGER native, const std::string& text) {
    return Record{state, native, "[PCS][Scripted]" + text};
}

void Log(const std::string& sql) {
    const char* path = std::getenv("PCS_SCRIPTED_DRIVER_LOG");
    if (!path) return;
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", sql.c_str());
        std::fclose(f);
    }
}

// The answers, by what the statement says.
SQLRETURN Script_For(const std::string& sql, Stmt& s) {
    s.results.clear();
    s.current = 0;
    s.row = -1;
    auto has = [&](const char* w) { return sql.find(w) != std::string::npos; };
    if (has("timeout at fetch")) {
        Result r;
        r.columns = {"n"};
        r.rows = {{std::string("1")}};
        r.fetch_times_out = true;
        s.results.push_back(r);
        return SQL_SUCCESS;
    }
    if (has("timeout")) {
        s.diag.push_back(Info("HYT00", 0, "Query timeout expired"));
        return SQL_ERROR;
    }
    if (has("warnings")) {
        s.diag.push_back(Info("01000", 5701, "Changed database context to 'lab'."));
        s.diag.push_back(Info("01000", 50000, "Bath slot 3 is over its time"));
        Result r;
        r.columns = {"STATUS"};
        r.rows = {{std::string("DONE")}};
        s.results.push_back(r);
        return SQL_SUCCESS_WITH_INFO;
    }
    if (has("count first")) {
        s.results.push_back(Result{}); // the row count of an update inside the procedure
        Result r;
        r.columns = {"Lab_Id", "Note"};
        r.rows = {{std::string("7"), std::nullopt}, {std::string("8"), std::string("x")}};
        r.on_reach = SQL_SUCCESS_WITH_INFO;
        r.reach_diag = {Info("01000", 0, "printed by the procedure")};
        s.results.push_back(r);
        return SQL_SUCCESS;
    }
    if (has("fails after count")) {
        s.results.push_back(Result{});
        Result r;
        r.on_reach = SQL_ERROR;
        r.reach_diag = {Info("42000", 2812, "Could not find stored procedure 'lab.dbo.nothing'.")};
        s.results.push_back(r);
        return SQL_SUCCESS;
    }
    Result r;
    r.columns = {"ok"};
    r.rows = {{std::string("1")}};
    s.results.push_back(r);
    return SQL_SUCCESS;
}

Handle_Base* Base(SQLSMALLINT type, SQLHANDLE h) {
    switch (type) {
    case SQL_HANDLE_ENV:
        return static_cast<Env*>(h);
    case SQL_HANDLE_DBC:
        return static_cast<Dbc*>(h);
    case SQL_HANDLE_STMT:
        return static_cast<Stmt*>(h);
    default:
        return nullptr;
    }
}

void Copy_Text(const std::string& text, SQLCHAR* out, SQLLEN room, SQLSMALLINT* length) {
    if (length) *length = static_cast<SQLSMALLINT>(text.size());
    if (out && room > 0) {
        size_t n = std::min(text.size(), static_cast<size_t>(room - 1));
        std::memcpy(out, text.data(), n);
        out[n] = 0;
    }
}

} // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE, SQLHANDLE* out) {
    switch (type) {
    case SQL_HANDLE_ENV:
        *out = new Env;
        return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
        *out = new Dbc;
        return SQL_SUCCESS;
    case SQL_HANDLE_STMT:
        *out = new Stmt;
        return SQL_SUCCESS;
    default:
        return SQL_ERROR;
    }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE h) {
    switch (type) {
    case SQL_HANDLE_ENV:
        delete static_cast<Env*>(h);
        return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
        delete static_cast<Dbc*>(h);
        return SQL_SUCCESS;
    case SQL_HANDLE_STMT:
        delete static_cast<Stmt*>(h);
        return SQL_SUCCESS;
    default:
        return SQL_ERROR;
    }
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT h, SQLUSMALLINT option) {
    if (option == SQL_DROP) delete static_cast<Stmt*>(h);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT) {
    return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}
SQLRETURN SQL_API SQLDisconnect(SQLHDBC) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC h, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length, SQLCHAR* out,
                                   SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT) {
    static_cast<Dbc*>(h)->diag.clear();
    std::string cs = in_length == SQL_NTS ? std::string(reinterpret_cast<char*>(in))
                                          : std::string(reinterpret_cast<char*>(in), in_length);
    Copy_Text(cs, out, out_max, out_length);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT room,
                             SQLSMALLINT* length) {
    std::string text;
    switch (type) {
    case SQL_DRIVER_ODBC_VER:
        text = "03.00";
        break;
    case SQL_DRIVER_NAME:
        text = "pcs_scripted_odbc_driver.so";
        break;
    case SQL_DRIVER_VER:
        text = "01.00.0000";
        break;
    default:
        if (value && room >= static_cast<SQLSMALLINT>(sizeof(SQLUINTEGER)))
            *static_cast<SQLUINTEGER*>(value) = 0;
        if (length) *length = sizeof(SQLUINTEGER);
        return SQL_SUCCESS;
    }
    Copy_Text(text, static_cast<SQLCHAR*>(value), room, length);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT h, SQLCHAR* text, SQLINTEGER length) {
    auto& s = *static_cast<Stmt*>(h);
    s.diag.clear();
    std::string sql = length == SQL_NTS ? std::string(reinterpret_cast<char*>(text))
                                        : std::string(reinterpret_cast<char*>(text), length);
    Log(sql);
    return Script_For(sql, s);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT h, SQLSMALLINT* count) {
    auto& s = *static_cast<Stmt*>(h);
    *count = s.current < s.results.size() ? static_cast<SQLSMALLINT>(s.results[s.current].columns.size()) : 0;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT, SQLLEN* count) {
    *count = 1;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT h) {
    auto& s = *static_cast<Stmt*>(h);
    s.diag.clear();
    if (s.current + 1 >= s.results.size()) return SQL_NO_DATA;
    ++s.current;
    s.row = -1;
    const Result& r = s.results[s.current];
    s.diag = r.reach_diag;
    return r.on_reach;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT h, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT room,
                                 SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                 SQLSMALLINT* nullable) {
    auto& s = *static_cast<Stmt*>(h);
    const Result& r = s.results.at(s.current);
    if (column < 1 || column > r.columns.size()) return SQL_ERROR;
    Copy_Text(r.columns[column - 1], name, room, length);
    if (type) *type = SQL_VARCHAR;
    if (size) *size = 255;
    if (digits) *digits = 0;
    if (nullable) *nullable = SQL_NULLABLE;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT h) {
    auto& s = *static_cast<Stmt*>(h);
    s.diag.clear();
    const Result& r = s.results.at(s.current);
    if (r.fetch_times_out) {
        s.diag.push_back(Info("HYT00", 0, "Query timeout expired"));
        return SQL_ERROR;
    }
    if (s.row + 1 >= static_cast<long>(r.rows.size())) return SQL_NO_DATA;
    ++s.row;
    s.got_column = 0;
    s.got_offset = 0;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT h, SQLUSMALLINT column, SQLSMALLINT, SQLPOINTER value, SQLLEN room,
                             SQLLEN* indicator) {
    auto& s = *static_cast<Stmt*>(h);
    const auto& field = s.results.at(s.current).rows.at(s.row).at(column - 1);
    if (!field) {
        *indicator = SQL_NULL_DATA;
        return SQL_SUCCESS;
    }
    if (s.got_column != column) {
        s.got_column = column;
        s.got_offset = 0;
    } else if (s.got_offset >= field->size()) {
        return SQL_NO_DATA;
    }
    std::string rest = field->substr(s.got_offset);
    *indicator = static_cast<SQLLEN>(rest.size());
    SQLSMALLINT ignored;
    Copy_Text(rest, static_cast<SQLCHAR*>(value), room, &ignored);
    size_t given = std::min(rest.size(), static_cast<size_t>(room - 1));
    s.got_offset += given;
    if (given < rest.size()) {
        s.diag.push_back(Info("01004", 0, "String data, right truncated"));
        return SQL_SUCCESS_WITH_INFO;
    }
    s.got_offset = field->size() + 1; // read: a further call answers SQL_NO_DATA
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT number, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* text, SQLSMALLINT room, SQLSMALLINT* length) {
    Handle_Base* b = Base(type, h);
    if (!b || number < 1 || static_cast<size_t>(number) > b->diag.size()) return SQL_NO_DATA;
    const Record& r = b->diag[number - 1];
    if (state) {
        std::memcpy(state, r.state.c_str(), 5);
        state[5] = 0;
    }
    if (native) *native = r.native;
    Copy_Text(r.text, text, room, length);
    return static_cast<SQLSMALLINT>(r.text.size()) >= room ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT number, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT room, SQLSMALLINT* length) {
    Handle_Base* b = Base(type, h);
    if (!b) return SQL_ERROR;
    auto integer = [&](SQLINTEGER v) {
        if (value) *static_cast<SQLINTEGER*>(value) = v;
        return SQL_SUCCESS;
    };
    auto text = [&](const std::string& t) {
        Copy_Text(t, static_cast<SQLCHAR*>(value), room, length);
        return SQL_SUCCESS;
    };
    // Header fields.
    if (field == SQL_DIAG_NUMBER) return integer(static_cast<SQLINTEGER>(b->diag.size()));
    if (field == SQL_DIAG_RETURNCODE) return SQL_SUCCESS;
    if (field == SQL_DIAG_ROW_COUNT || field == SQL_DIAG_CURSOR_ROW_COUNT) {
        if (value) *static_cast<SQLLEN*>(value) = 0;
        return SQL_SUCCESS;
    }
    if (number < 1 || static_cast<size_t>(number) > b->diag.size()) return SQL_NO_DATA;
    const Record& r = b->diag[number - 1];
    switch (field) {
    case SQL_DIAG_SQLSTATE:
        return text(r.state);
    case SQL_DIAG_NATIVE:
        return integer(r.native);
    case SQL_DIAG_MESSAGE_TEXT:
        return text(r.text);
    case SQL_DIAG_CLASS_ORIGIN:
        return text("ISO 9075");
    case SQL_DIAG_SUBCLASS_ORIGIN:
        return text("ODBC 3.0");
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME:
        return text("");
    case SQL_DIAG_COLUMN_NUMBER:
        return integer(SQL_NO_COLUMN_NUMBER);
    case SQL_DIAG_ROW_NUMBER:
        if (value) *static_cast<SQLLEN*>(value) = SQL_NO_ROW_NUMBER;
        return SQL_SUCCESS;
    default:
        return SQL_ERROR;
    }
}

} // extern "C"
