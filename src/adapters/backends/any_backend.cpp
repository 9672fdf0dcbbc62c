#include "any_backend.h"

#include "embedded_backend.h"

#ifdef PCS_HAVE_ODBC
#include "odbc_backend.h"
#endif

namespace pcs {

Any_Backend::Any_Backend() : embedded_(std::make_unique<embedded::Embedded_Backend>()) {}

Any_Backend::~Any_Backend() = default;

std::unique_ptr<db::Db_Connection> Any_Backend::Connect(const std::string& connect_string,
                                                        const db::Connect_Options& options) {
    if (embedded::Is_Embedded_Connect_String(connect_string))
        return embedded_->Connect(connect_string, options);
#ifdef PCS_HAVE_ODBC
    if (!odbc_) odbc_ = std::make_unique<odbc::Odbc_Backend>();
    return odbc_->Connect(connect_string, options);
#else
    throw db::Connect_Error("This build has no ODBC backend; use EMBEDDED=<lab database file>.");
#endif
}

void Any_Backend::Warm_Up(const std::string& connect_string) noexcept {
    if (embedded::Is_Embedded_Connect_String(connect_string)) embedded_->Warm_Up(connect_string);
}

std::optional<std::string> Any_Backend::Check_Damage(const std::string& connect_string) {
    if (embedded::Is_Embedded_Connect_String(connect_string)) return embedded_->Check_Damage(connect_string);
    return std::nullopt;
}

std::string Fallback_Connect_String(const std::filesystem::path& program_folder) {
    return embedded::Embedded_Connect_String(program_folder / embedded::Fallback_File_Name);
}

bool Is_Embedded_Connect_String(const std::string& connect_string) {
    return embedded::Is_Embedded_Connect_String(connect_string);
}

} // namespace pcs
