// Passwords of the embedded lab database. The station sends only a password, so a password must be
// unique within a lab and found without trying every stored hash: a keyed hash finds the employee, and a
// slow password hash verifies the password. The key lives in a file of its own beside the database
// files, readable by its owner only: with the database files alone, the keyed hashes are no quick way
// to the passwords.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pcs::embedded {

// The key file is missing, cannot be read or written, or holds no key. Its message names the file.
class Key_File_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A new random lookup key, as hex text.
std::string New_Lookup_Key();
// Creates the key file (owner read/write only) with the key; refuses an existing file.
void Write_Key_File(const std::filesystem::path& key_file, const std::string& key_hex);
// The key of the key file. Never makes a new one: a new key would lock every employee out.
std::string Read_Key_File(const std::filesystem::path& key_file);
// The lookup hash (hex) of a password within a lab.
std::string Lookup_Hash(std::string_view key_hex, std::string_view lab_code, std::string_view password);
// A slow, salted password hash in libsodium's text form.
std::string Hash_Password(std::string_view password);
bool Verify_Password(const std::string& hash, std::string_view password);

} // namespace pcs::embedded
