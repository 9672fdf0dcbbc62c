#include "db/documents.h"

#include "common/sql.h"
#include "common/text.h"

#include <cstdlib>

namespace pcs::db {

namespace {

std::string Env_Or(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    if (value && !Trim(value).empty()) return Trim(value);
    return fallback;
}

} // namespace

Document_Config Document_Config_From_Environment() {
    Document_Config c;
    c.Server = Env_Or("PCSTATION_DOC_SERVER", c.Server);
    c.Browser_Program = Env_Or("PCSTATION_BROWSER", c.Browser_Program);
    return c;
}

std::string Document_Query(const std::string& test_group) {
    return "select * from sop.dbo.documents (nolock) where charindex('" + SQL_Escape(Trim(test_group)) +
           ";', Test_Group) > 0";
}

std::string Document_Address(const std::string& server, const std::string& doc_id,
                             const std::string& doc_type) {
    return "http://" + server + "/DocsOnLine/" + "/ISO9001-2000/LWI/" + Trim(doc_id) + "." + Trim(doc_type);
}

void Show_Document(Database& db, Browser_Port& browser, const std::string& server,
                   const std::string& test_group) {
    Record_Set rs = db.Open_Recordset(Document_Query(test_group), true);
    if (!rs.Eof() && !rs.Is_Null("DOC_TYPE")) {
        // A NULL DOC_ID reads as empty text, as a blank id always has.
        browser.Open_Address(Document_Address(server, rs.Text_Or("DOC_ID", ""), rs.Text("DOC_TYPE")));
    }
    rs.Close();
}

} // namespace pcs::db
