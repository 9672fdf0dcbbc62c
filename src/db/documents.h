// Procedure documents: the document of a test group, looked up in the lab database and opened in the
// web browser (the header's "ISO" button).
#pragma once

#include "db/database.h"

#include <stdexcept>
#include <string>

namespace pcs::db {

// Starts the web browser on an address and returns at once; it does not wait for the browser.
class Browser_Port {
public:
    virtual ~Browser_Port() = default;
    // Throws Browser_Error when the browser cannot be started.
    virtual void Open_Address(const std::string& address) = 0;
};

class Browser_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the documents are and what opens them. Each site sets these; the environment can too:
//   PCSTATION_DOC_SERVER  the document web server's address (host, or host:port), default "localhost"
//   PCSTATION_BROWSER     the browser's program (a path, or a name looked up in PATH), default
//                         "xdg-open", which hands the address to the desktop's own browser
struct Document_Config {
    std::string Server = "localhost";
    std::string Browser_Program = "xdg-open";
};

// The defaults with PCSTATION_DOC_SERVER and PCSTATION_BROWSER applied where they are set and not blank.
Document_Config Document_Config_From_Environment();

// The lookup statement for a test group (its quotes doubled, so any code stays one literal).
std::string Document_Query(const std::string& test_group);

// "http://" + server + "/DocsOnLine/" + "/ISO9001-2000/LWI/" + DOC_ID + "." + DOC_TYPE (trimmed).
std::string Document_Address(const std::string& server, const std::string& doc_id,
                             const std::string& doc_type);

// Looks up the document of the test group and opens it. No document, or one without a DOC_TYPE, does
// nothing. A failed lookup reaches the caller as the result set's Not_Open_Error; a browser that cannot
// start as Browser_Error.
void Show_Document(Database& db, Browser_Port& browser, const std::string& server,
                   const std::string& test_group);

} // namespace pcs::db
