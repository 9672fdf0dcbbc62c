// Passwords of the embedded lab database. The station sends only a password, so a password must be
// unique within a lab and found without trying every stored hash: a keyed hash (with a key of the
// database's own) finds the employee, and a slow password hash verifies the password.
#pragma once

#include <string>
#include <string_view>

namespace pcs::embedded {

// A new random lookup key, as hex text.
std::string New_Lookup_Key();
// The lookup hash (hex) of a password within a lab.
std::string Lookup_Hash(std::string_view key_hex, std::string_view lab_code, std::string_view password);
// A slow, salted password hash in libsodium's text form.
std::string Hash_Password(std::string_view password);
bool Verify_Password(const std::string& hash, std::string_view password);

} // namespace pcs::embedded
