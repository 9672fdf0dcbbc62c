#include "db/connect_string.h"

#include "common/text.h"

#include <cstdlib>

namespace pcs::db {

std::string Station_Connect_String() {
    const char* value = std::getenv(Connect_Variable);
    // A blank value is a slip, not a wish for no database: the default serves then.
    if (value && !Trim(value).empty()) return value;
    return Station_Connect_Default;
}

} // namespace pcs::db
