// Log files opened for appending.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace pcs {

class File_Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens the text file for the caller's lines. A missing file is created and, when a header is given,
// the header and a line end are written first; an existing file is opened for appending and never
// gets the header again. Throws File_Error when the file cannot be created or opened.
std::ofstream Open_Text_File(const std::filesystem::path& path, const std::optional<std::string>& header);

// Reads a whole file as bytes; throws File_Error when it cannot be read.
std::string Read_File(const std::filesystem::path& path);

} // namespace pcs
