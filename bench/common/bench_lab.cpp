#include "bench_lab.h"

#include "embedded_backend.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pcs::bench {

Bench_Lab::Bench_Lab(const std::string& name) {
    std::string templ = (fs::temp_directory_path() / ("pcs-" + name + "-XXXXXX")).string();
    if (!::mkdtemp(templ.data())) throw std::runtime_error("cannot make a folder for the lab database");
    folder_ = templ;
    lab_file_ = folder_ / "lab.db";
    embedded::Lab_Admin::Create(lab_file_);
}

Bench_Lab::~Bench_Lab() {
    std::error_code ec;
    // BENCH_KEEP=1 leaves the folder (its lab database and statement trace) for a look afterwards.
    if (!std::getenv("BENCH_KEEP")) fs::remove_all(folder_, ec);
}

std::string Bench_Lab::Connect_String() const {
    return embedded::Embedded_Connect_String(lab_file_);
}

void Bench_Lab::Add_Racks(int racks, int positions) {
    const auto start = std::chrono::steady_clock::now();
    embedded::Lab_Admin(lab_file_).Build_Benchmark_Data(racks, positions);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "built %d racks, %d tests in %.2f s\n", racks, racks * positions, s);
}

void Bench_Lab::Add_Technician(int emp_num, const std::string& password) {
    embedded::Employee_Spec e;
    e.Emp_Num = emp_num;
    e.First_Name = "Ann";
    e.Last_Name = "Lee";
    embedded::Lab_Admin(lab_file_).Add_Employee(e, password);
}

Bench_Args::Bench_Args(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0)
            Smoke = true;
        else
            Args.push_back(argv[i]);
    }
}

} // namespace pcs::bench
