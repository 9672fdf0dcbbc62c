#include "passwords.h"

#include "common/text.h"

#include <sodium.h>

#include <stdexcept>
#include <vector>

namespace pcs::embedded {

namespace {

void Init_Sodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium could not be initialised");
}

std::string To_Hex(const unsigned char* data, size_t n) {
    std::string hex(n * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), data, n);
    hex.pop_back();
    return hex;
}

} // namespace

std::string New_Lookup_Key() {
    Init_Sodium();
    unsigned char key[crypto_generichash_KEYBYTES];
    randombytes_buf(key, sizeof key);
    return To_Hex(key, sizeof key);
}

std::string Lookup_Hash(std::string_view key_hex, std::string_view lab_code, std::string_view password) {
    Init_Sodium();
    std::vector<unsigned char> key(crypto_generichash_KEYBYTES_MAX);
    size_t key_len = 0;
    if (sodium_hex2bin(key.data(), key.size(), key_hex.data(), key_hex.size(), nullptr, &key_len, nullptr) !=
            0 ||
        key_len < crypto_generichash_KEYBYTES_MIN)
        throw std::runtime_error("the password lookup key of the lab database is damaged");
    // The lab code is part of the input, so one password may serve in two labs.
    std::string input = UCase(lab_code);
    input += '\0';
    input.append(password.data(), password.size());
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(input.data()), input.size(),
                       key.data(), key_len);
    sodium_memzero(input.data(), input.size());
    return To_Hex(out, sizeof out);
}

std::string Hash_Password(std::string_view password) {
    Init_Sodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return out;
}

bool Verify_Password(const std::string& hash, std::string_view password) {
    Init_Sodium();
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

} // namespace pcs::embedded
