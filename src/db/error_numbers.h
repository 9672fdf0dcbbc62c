// The error numbers the station's alerts have always shown for what the lab database refused (OLE DB
// result codes, so the lab's IT recognises them). Every backend answers with these, whatever its
// own codes are; the SQLSTATE and the native error stay in the record beside the number. The
// timeout's number sits with the backend port, since Database retries on it.
#pragma once

#include <cstdint>

namespace pcs::db {

inline constexpr int32_t Warning_Number = 265920;                    // 0x00040EC0, succeeded with warnings
inline constexpr int32_t Authorization_Error_Number = -2147217843;   // 0x80040E4D
inline constexpr int32_t Connection_Error_Number = -2147467259;      // 0x80004005
inline constexpr int32_t Table_Not_Found_Error_Number = -2147217865; // 0x80040E37
inline constexpr int32_t Integrity_Error_Number = -2147217873;       // 0x80040E2F
inline constexpr int32_t Command_Error_Number = -2147217900;         // 0x80040E14

} // namespace pcs::db
