#include "passwords.h"

#include "common/text.h"

#include <sodium.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
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

void Write_Key_File(const std::filesystem::path& key_file, const std::string& key_hex) {
    int fd = ::open(key_file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Key_File_Error("Cannot create the password key file " + key_file.string() + ": " +
                             std::strerror(errno));
    std::string text = key_hex + "\n";
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    int e = errno;
    ::close(fd);
    if (!ok)
        throw Key_File_Error("Cannot write the password key file " + key_file.string() + ": " +
                             std::strerror(e));
}

std::string Read_Key_File(const std::filesystem::path& key_file) {
    int fd = ::open(key_file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        if (e == ENOENT)
            throw Key_File_Error("The password key file " + key_file.string() +
                                 " is missing: it was made with the lab database and belongs beside it (an "
                                 "older lab database keeps its key inside: labdb migrate moves it out)");
        throw Key_File_Error("The password key file " + key_file.string() +
                             " cannot be read: " + std::strerror(e));
    }
    // As ssh refuses a private key others can read: with this key the keyed hashes of eight-digit
    // passwords fall to a search of minutes.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (st.st_mode & S_IRWXO) != 0) {
        ::close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
        throw Key_File_Error("The password key file " + key_file.string() + " can be read by others (mode " +
                             mode +
                             "), which gives their passwords away: logins are refused until it is "
                             "readable by its owner and group alone (chmod 640 " +
                             key_file.string() + ")");
    }
    char buf[256];
    ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    std::string key = Trim(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0));
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r'))
        key.pop_back();
    unsigned char bin[crypto_generichash_KEYBYTES_MAX];
    size_t len = 0;
    if (sodium_hex2bin(bin, sizeof bin, key.data(), key.size(), nullptr, &len, nullptr) != 0 ||
        len < crypto_generichash_KEYBYTES_MIN)
        throw Key_File_Error("The password key file " + key_file.string() + " holds no key");
    sodium_memzero(bin, sizeof bin);
    return key;
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
