// A seeded embedded lab database per test, copied from one seeded once per run (seeding hashes
// passwords, which is slow on purpose).
#pragma once

#include "embedded_backend.h"
#include "lab_admin.h"

#include "common/globals.h"
#include "db/database.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace pcs::test {

namespace fs = std::filesystem;

struct Seeded_Template {
    Temp_Dir Folder{"pcs-embedded"};
    fs::path Lab_File;
    std::vector<embedded::Demo_Login> Logins;

    static const Seeded_Template& Get() {
        static Seeded_Template t;
        return t;
    }

private:
    Seeded_Template() {
        Lab_File = Folder.Path() / "template.db";
        embedded::Lab_Admin::Create(Lab_File);
        embedded::Lab_Admin admin(Lab_File);
        embedded::Seed_Options o;
        o.Seed = 4406;
        Logins = admin.Seed_Demo(o);
    }
};

// Copies the seeded template into the folder as lab.db (with its attached files and key file).
inline fs::path Copy_Seeded(const fs::path& folder) {
    const auto& t = Seeded_Template::Get();
    fs::path lab = folder / "lab.db";
    for (const char* name : {".db", ".labrack.db", ".sop.db", ".hadel.db", ".key"}) {
        fs::path from = t.Folder.Path() / (std::string("template") + name);
        fs::path to = folder / (std::string("lab") + name);
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    }
    return lab;
}

// The station's database layer on a seeded embedded database of its own.
class Embedded_Test : public ::testing::Test {
protected:
    void SetUp() override {
        Lab_File = Copy_Seeded(Folder.Path());
        Globals_.Connect_String = embedded::Embedded_Connect_String(Lab_File);
        Db = std::make_unique<db::Database>(Globals_, Backend, Alerts);
    }

    const embedded::Demo_Login& Login(long long emp) const {
        for (const auto& l : Seeded_Template::Get().Logins)
            if (l.Emp_Num == emp) return l;
        throw std::runtime_error("no demo login " + std::to_string(emp));
    }

    // Every row of a statement as column -> value maps (NULL as nullopt); throws when it failed.
    std::vector<std::map<std::string, db::Field>> Rows(const std::string& sql) {
        db::Record_Set rs = Db->Open_Recordset(sql, true);
        std::vector<std::map<std::string, db::Field>> out;
        while (!rs.Eof()) {
            std::map<std::string, db::Field> row;
            for (const auto& c : rs.Columns())
                row[c] = rs.Value(c);
            out.push_back(std::move(row));
            rs.Move_Next();
        }
        return out;
    }
    // The first column of the first row.
    std::string One(const std::string& sql) {
        db::Record_Set rs = Db->Open_Recordset(sql, true);
        if (rs.Eof() || rs.Columns().empty()) throw std::runtime_error("no value from " + sql);
        return rs.Value(rs.Columns()[0]).value_or("<NULL>");
    }
    // The error records of a statement run straight on a connection.
    db::Exec_Outcome Run(const std::string& sql) {
        db::Connect_Options o;
        auto c = Backend.Connect(Globals_.Connect_String, o);
        return c->Execute(sql);
    }

    Temp_Dir Folder{"pcs-embedded"};
    fs::path Lab_File;
    Globals Globals_;
    embedded::Embedded_Backend Backend;
    Recording_Alerts Alerts;
    std::unique_ptr<db::Database> Db;
};

} // namespace pcs::test
