// A fresh embedded lab database in a temporary folder of its own, removed with it: the benchmarks'
// common ground, so that each measures its own piece and not a set-up of its own.
#pragma once

#include "lab_admin.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pcs::bench {

class Bench_Lab {
public:
    // An empty lab database in a new folder named after the benchmark.
    explicit Bench_Lab(const std::string& name);
    ~Bench_Lab();
    Bench_Lab(const Bench_Lab&) = delete;
    Bench_Lab& operator=(const Bench_Lab&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    const std::filesystem::path& Lab_File() const { return lab_file_; }
    std::string Connect_String() const;

    // Outstanding racks, each position a READY particle-count test; says on stderr how long it took.
    void Add_Racks(int racks, int positions);
    // A particle-count technician who logs in with the password.
    void Add_Technician(int emp_num, const std::string& password);

private:
    std::filesystem::path folder_, lab_file_;
};

// A benchmark's command line: "--smoke" (a tiny run that keeps the benchmark working) taken out, the
// rest left for the benchmark library.
struct Bench_Args {
    Bench_Args(int argc, char** argv);
    bool Smoke = false;
    std::vector<char*> Args;
};

} // namespace pcs::bench
