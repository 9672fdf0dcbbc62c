// Damage as a disk or a careless copy leaves it: random bytes over the last pages of a file.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>

namespace pcs::test {

// Overwrites the last three 4 KiB pages; false when the file is too small to keep its header intact.
inline bool Damage_Last_Pages(const std::filesystem::path& file) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(0, std::ios::end);
    const std::streamoff size = f.tellg();
    if (!f || size <= 4 * 4096) return false;
    std::mt19937 rng(9);
    f.seekp(size - 3 * 4096);
    for (int i = 0; i < 3 * 4096; ++i)
        f.put(static_cast<char>(rng()));
    return static_cast<bool>(f);
}

} // namespace pcs::test
