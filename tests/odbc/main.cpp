// Sets up the tests' ODBC data source before any test makes an ODBC call.
#include "odbc_test_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <iostream>
#include <sstream>

namespace pcs::test {

namespace {
Odbc_Test_Env env;
}

const Odbc_Test_Env& Odbc_Env() {
    return env;
}

std::string Odbc_Test_Env::Driver_Connect_String() const {
    return std::string("DRIVER=") + PCS_SQLITE_ODBC_DRIVER + ";Database=" + Db_File.string();
}

std::string Read_Text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace pcs::test

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using pcs::test::env;
    ::testing::InitGoogleTest(&argc, argv);

    if (!fs::exists(PCS_SQLITE_ODBC_DRIVER)) {
        std::cerr << "The SQLite ODBC driver " << PCS_SQLITE_ODBC_DRIVER
                  << " is missing: install libsqliteodbc (scripts/setup does)\n";
        return 1;
    }
    // The driver manager loads and unloads the drivers and its configuration library as connections
    // come and go. Keeping them loaded for the whole run keeps their caches reachable and their stack
    // frames readable, so a leak checker reports only what really leaks.
    for (const char* lib : {PCS_SQLITE_ODBC_DRIVER, PCS_SCRIPTED_DRIVER, "libodbcinst.so.2"})
        dlopen(lib, RTLD_NOW | RTLD_NODELETE);

    const pcs::test::Temp_Dir folder("pcs_odbc");
    env.Folder = folder.Path();
    env.Db_File = env.Folder / "lab.db";
    {
        std::ofstream inst(env.Folder / "odbcinst.ini");
        inst << "[PCS SQLite3]\nDescription=SQLite ODBC driver for the station's tests\nDriver="
             << PCS_SQLITE_ODBC_DRIVER << "\n\n[PCS Scripted]\nDriver=" << PCS_SCRIPTED_DRIVER << "\n";
        std::ofstream ini(env.Folder / "odbc.ini");
        ini << "[" << env.Dsn << "]\nDriver=PCS SQLite3\nDatabase=" << env.Db_File.string() << "\n\n["
            << env.Scripted_Dsn << "]\nDriver=PCS Scripted\n";
    }
    env.Scripted_Log = env.Folder / "scripted.log";
    setenv("PCS_SCRIPTED_DRIVER_LOG", env.Scripted_Log.c_str(), 1);
    setenv("ODBCSYSINI", env.Folder.c_str(), 1);
    setenv("ODBCINI", (env.Folder / "odbc.ini").c_str(), 1);
    // The tests set what they need; nothing of the caller's may leak in.
    unsetenv("PCSTATION_SQL_TRACE");
    unsetenv("PCSTATION_CONNECT");

    return RUN_ALL_TESTS();
}
