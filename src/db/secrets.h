// Secrets that pass through the database layer (login passwords in statement texts, passwords in
// connection strings) and the means to keep them out of traces, logs and error texts.
#pragma once

#include "db/backend.h"

#include <string>
#include <string_view>
#include <vector>

namespace pcs::db {

// What replaces a secret in a text meant for people.
inline constexpr const char* Secret_Mask = "***";

struct Masked_Statement {
    std::string Text;                 // the statement with every password value replaced by '***'
    std::vector<std::string> Secrets; // the values replaced, to scrub from error texts too
};

// Masks the value of every argument or column whose name holds "password", "passwd" or "pwd"
// (@UserPassword = '...', set PASSWORD = '...'), and every positional argument of a procedure whose
// name holds one. The rest of the statement stays as sent. A quoted value ends at the quote that
// closes the argument (followed by ", @name", ";" or the end), so a quote the caller did not double
// cannot let part of a password through.
Masked_Statement Mask_Passwords(std::string_view sql);

// The text with every occurrence of a secret (and of each piece of it between quotes, which a parser
// may quote alone) replaced by the mask.
std::string Without_Secrets(std::string text, const std::vector<std::string>& secrets);

// What of a connection string must never be shown: the string itself and the values of its
// PWD and PASSWORD attributes.
std::vector<std::string> Connect_String_Secrets(std::string_view connect_string);

// The same failure with the connection string's secrets masked in its message and records: a driver
// may quote what it was given.
Connect_Error Without_Secrets(const Connect_Error& e, std::string_view connect_string);

} // namespace pcs::db
