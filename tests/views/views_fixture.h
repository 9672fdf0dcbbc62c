// The rack view and search on an embedded lab database of their own, with recording stand-ins for the
// main form, the search dialog's technician and the program's exit.
#pragma once

#include "embedded/embedded_fixture.h"

#include "common/clock.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "support/fake_ports.h"
#include "views/rack_view.h"

#include <functional>
#include <optional>

namespace pcs::test {

// The main form as the rack view sees it: records the calls; Quick_Show marks the results saved, as
// the particle-count main form does.
class Recording_Main_Form : public Main_Form_Port {
public:
    std::vector<std::string> Calls;
    bool Takes_Samples = true;
    bool Quick_Show_Saves = true;

    void Init() override { Calls.push_back("Init"); }
    void User_Login() override { Calls.push_back("User_Login"); }
    bool Rack_Refresh(bool) override { return false; }
    void Rack_OnClick() override {}
    void Nav_Start() override { Calls.push_back("Nav_Start"); }
    void Nav_End() override { Calls.push_back("Nav_End"); }
    void Quick_Hide() override {}
    bool Quick_Show(int) override { return Quick_Show_Saves; }
    bool Process_Sample(int Index, const std::string& id, const std::string& status) override {
        Calls.push_back("Process_Sample " + std::to_string(Index) + " " + id + " " + status);
        return Takes_Samples && !id.empty() && status != "DONE" && !status.empty();
    }
    void Save_Results() override { Calls.push_back("Save_Results"); }
    bool AllSaved() override { return false; }
};

// The search dialog without a display: the real search model, its automatic pick run as the timer
// would run it, and otherwise the technician's scripted touches (or the exit key when none).
class Scripted_Search : public Search_Port, private Search_View {
public:
    Scripted_Search(Globals& g, Manual_Clock& clock, Rack& rack, Alert_Port& alerts)
        : g_(g), clock_(clock), rack_(rack), alerts_(alerts) {}
    std::function<void(Rack_Search&)> Technician;
    int Shown = 0; // times the dialog was shown to the technician

    Rack_Search& Load_Search() override {
        return search_.emplace(g_, clock_, rack_, alerts_, static_cast<Search_View&>(*this));
    }
    void Show_Search_Modal() override {
        Rack_Search& s = *search_;
        s.Form_Load();
        if (s.Timer1_Enabled) {
            clock_.Advance(std::chrono::milliseconds(Auto_Pick_Interval_Ms));
            s.Timer1_Timer();
            return;
        }
        ++Shown;
        if (Technician) Technician(s);
        if (!s.Hidden) s.lbl_exit_Click();
    }
    void Unload_Search() override {
        search_->Form_Unload();
        search_.reset();
    }

private:
    void Hide_Search() override {}
    Globals& g_;
    Manual_Clock& clock_;
    Rack& rack_;
    Alert_Port& alerts_;
    std::optional<Rack_Search> search_;
};

class Recording_Exit : public App_Exit_Port {
public:
    int Exits = 0;
    void App_Exit() override { ++Exits; }
};

// A backend that refuses the statements containing a text, and passes every other to the real one.
class Refusing_Backend : public db::Db_Backend {
public:
    explicit Refusing_Backend(db::Db_Backend& inner) : inner_(inner) {}
    std::string Refuse; // "" refuses nothing
    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options& o) override {
        struct Connection : db::Db_Connection {
            std::unique_ptr<db::Db_Connection> inner;
            const std::string* refuse;
            db::Exec_Outcome Execute(const std::string& sql) override {
                if (!refuse->empty() && sql.find(*refuse) != std::string::npos) {
                    db::Exec_Outcome out;
                    out.Errors.push_back({-2147467259, "[DBNETLIB]General network error.", "08S01", 11});
                    return out;
                }
                return inner->Execute(sql);
            }
        };
        auto c = std::make_unique<Connection>();
        c->inner = inner_.Connect(cs, o);
        c->refuse = &Refuse;
        return c;
    }

private:
    db::Db_Backend& inner_;
};

// Racks C (URGENT), B (RUSH) and A (NORMAL, an empty third slot) routed to the particle count; the
// outstanding list answers them in that order. The shared records of the station on that database.
class Rack_Lab : public ::testing::Test {
protected:
    void SetUp() override {
        Lab_File = Folder.Path() / "lab.db";
        embedded::Lab_Admin::Create(Lab_File);
        {
            embedded::Lab_Admin admin(Lab_File);
            auto numbers = admin.New_Lab_Numbers("VOLMAR", 7);
            admin.Route_Rack(
                {"RACK-A", "VOLMAR", "PrtCount", {numbers[0], numbers[1], "", numbers[2]}, "NORMAL", ""});
            admin.Route_Rack({"RACK-B", "VOLMAR", "PrtCount", {numbers[3], numbers[4]}, "RUSH", ""});
            admin.Route_Rack({"RACK-C", "VOLMAR", "PrtCount", {numbers[5], numbers[6]}, "URGENT", ""});
            Lab_Numbers = numbers;
        }
        G.Connect_String = embedded::Embedded_Connect_String(Lab_File);
        Init_Colors(G);
        G.Test_Code = "PrtCount";
        Db = std::make_unique<db::Database>(G, Backend, Alerts);
        Emp = Technician(101);
        Rack_ = std::make_unique<Rack>(*Db, G, Alerts, *Emp, Clock, G.Connect_String);
    }

    std::unique_ptr<Employee> Technician(int16_t number) {
        auto e = std::make_unique<Employee>(*Db);
        e->Emp_Num = number;
        e->Station = "PARTICLE COUNT";
        e->Lab_Code = "VOLMAR";
        return e;
    }

    // Who holds a rack, as the lab database says ("" for nobody).
    std::string Holder(const std::string& rack) {
        db::Record_Set rs =
            Db->Open_Recordset("select CURR_USER from labrack.dbo.racks where RACK_DESC = '" + rack + "'");
        return rs.Eof() ? "?" : rs.Value("CURR_USER").value_or("");
    }

    Temp_Dir Folder;
    fs::path Lab_File;
    std::vector<std::string> Lab_Numbers;
    Globals G;
    Manual_Clock Clock{std::chrono::system_clock::now()};
    embedded::Embedded_Backend Embedded;
    Refusing_Backend Backend{Embedded};
    Recording_Alerts Alerts;
    Recording_Status Status;
    std::unique_ptr<db::Database> Db;
    std::unique_ptr<Employee> Emp;
    std::unique_ptr<Rack> Rack_;
    Recording_Main_Form Main;
};

// The rack view's model with the search run without a display.
class Views_Test : public Rack_Lab {
protected:
    void SetUp() override {
        Rack_Lab::SetUp();
        Search = std::make_unique<Scripted_Search>(G, Clock, *Rack_, Alerts);
        View = std::make_unique<Rack_View>(G, Clock, *Rack_, *Emp, Status, Alerts, Main, *Search, Exit);
    }

    std::unique_ptr<Scripted_Search> Search;
    Recording_Exit Exit;
    std::unique_ptr<Rack_View> View;
};

} // namespace pcs::test
