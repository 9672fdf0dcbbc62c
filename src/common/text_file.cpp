#include "common/text_file.h"

#include <sstream>
#include <system_error>

namespace pcs {

std::ofstream Open_Text_File(const std::filesystem::path& path, const std::optional<std::string>& header) {
    std::error_code ec;
    bool exists = std::filesystem::exists(path, ec);
    std::ofstream out;
    if (!exists) {
        out.open(path, std::ios::binary | std::ios::trunc);
        if (!out) throw File_Error("Cannot create " + path.string());
        if (header) out << *header << "\r\n";
    } else {
        if (std::filesystem::is_directory(path, ec))
            throw File_Error("Cannot open " + path.string() + ": a folder");
        out.open(path, std::ios::binary | std::ios::app);
        if (!out) throw File_Error("Cannot open " + path.string());
    }
    return out;
}

std::string Read_File(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw File_Error("Cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace pcs
