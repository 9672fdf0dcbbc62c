// The embedded lab database reads statement texts written for the lab's SQL server. Whatever text it is
// sent, it must answer rows or an error record with a number and a description: never crash or hang.
//
// An input is up to four statements separated by NUL bytes, run one after the other on one connection
// (so that a BEGIN or a half-done write meets the next statement). The database is a seeded demo lab
// on a temporary folder, put back from a pristine copy before every input.
#include "embedded_backend.h"
#include "lab_admin.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const Schemas[] = {"", ".labrack", ".sop", ".hadel"};

struct Lab_Copy {
    fs::path Folder, Pristine, Work;

    Lab_Copy() {
        std::error_code ec;
        fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        Folder = base / ("pcs-fuzz-statement-" + std::to_string(::getpid()));
        fs::remove_all(Folder, ec);
        fs::create_directories(Folder);
        Pristine = Folder / "pristine.db";
        Work = Folder / "lab.db";
        pcs::embedded::Lab_Admin::Create(Pristine);
        pcs::embedded::Seed_Options o;
        o.Racks = 12;
        o.Seed = 4406;
        pcs::embedded::Lab_Admin(Pristine).Seed_Demo(o);
        fs::copy_file(Folder / "pristine.key", Folder / "lab.key"); // logins are fuzzed too
    }
    ~Lab_Copy() {
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }

    // The fuzzer's own timer signal may interrupt the kernel copy; an interrupted copy is retried, not
    // taken for a finding.
    static void Copy_Retrying(const fs::path& from, const fs::path& to) {
        for (int attempt = 0;; ++attempt) {
            std::error_code ec;
            fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
            if (!ec) return;
            if (ec != std::errc::interrupted || attempt == 100)
                throw fs::filesystem_error("copy", from, to, ec);
        }
    }

    void Restore() const {
        for (const char* s : Schemas) {
            fs::path to = Folder / (std::string("lab") + s + ".db");
            Copy_Retrying(Folder / (std::string("pristine") + s + ".db"), to);
            // An input may have switched the journal mode: no journal of the last input is left over.
            std::error_code ec;
            for (const char* journal : {"-journal", "-wal", "-shm"})
                fs::remove(fs::path(to.string() + journal), ec);
        }
    }
};

void Check(const pcs::db::Exec_Outcome& out) {
    if (!out.Ok) {
        // A failure carries at least one record the station can show, and no rows.
        if (out.Errors.empty() || out.Rows) std::abort();
        for (const auto& e : out.Errors)
            if (e.Number == 0 || e.Description.empty()) std::abort();
        return;
    }
    if (!out.Rows) return;
    size_t columns = out.Rows->Columns().size();
    for (int row = 0; row < 100000 && out.Rows->Fetch(); ++row)
        for (size_t c = 0; c < columns; ++c)
            (void)out.Rows->Value(c);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Lab_Copy lab;
    lab.Restore();

    std::vector<std::string> statements;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (statements.size() < 4) {
        size_t end = text.find('\0');
        statements.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }

    // A fresh backend per input: no pooled connection outlives the files it was opened on.
    pcs::embedded::Embedded_Backend backend;
    pcs::db::Connect_Options options;
    options.Command_Timeout_S = 1;
    auto connection = backend.Connect(pcs::embedded::Embedded_Connect_String(lab.Work), options);
    for (const std::string& sql : statements)
        Check(connection->Execute(sql));
    return 0;
}
