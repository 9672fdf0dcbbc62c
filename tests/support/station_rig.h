// The station's main form on real pieces: a seeded embedded lab database of its own, the settings file
// in a program folder of its own, a logged-in technician, the shared rack and result record, the count
// logs and the Qt serial port to a counter (counter-sim on a pseudo-terminal, or a device that is not
// there). Alerts and status texts are recorded. For screen tests and benchmarks.
#pragma once

#include "common/text.h"
#include "counter/count_logs.h"
#include "db/database.h"
#include "embedded_backend.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "lab_admin.h"
#include "qt_serial_port.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"
#include "ui/main_form.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pcs::test {

namespace rig_fs = std::filesystem;

// The demo lab, seeded once per process (seeding hashes passwords, slow on purpose) and copied per rig.
struct Seeded_Lab {
    Temp_Dir Folder{"pcs-station"};
    rig_fs::path File;
    std::vector<embedded::Demo_Login> Logins;
    static const Seeded_Lab& Get() {
        static Seeded_Lab lab;
        return lab;
    }

private:
    Seeded_Lab() {
        File = Folder.Path() / "template.db";
        embedded::Lab_Admin::Create(File);
        embedded::Lab_Admin admin(File);
        embedded::Seed_Options o;
        o.Seed = 4406;
        Logins = admin.Seed_Demo(o);
    }
};

// The system's time, moved on at will (a benchmark lets the bath's seconds pass without waiting).
class Steerable_Clock final : public Clock {
public:
    Time_Point Now() const override { return std::chrono::system_clock::now() + Ahead; }
    std::chrono::system_clock::duration Ahead{};
};

struct Station_Rig {
    Temp_Dir Folder{"pcs-station"};
    rig_fs::path Lab_File;
    Globals G;
    Steerable_Clock Clock;
    Recording_Alerts Alerts;
    Recording_Status Status;
    embedded::Embedded_Backend Backend;
    std::unique_ptr<db::Database> Db;
    std::unique_ptr<Employee> Technician;
    std::unique_ptr<Rack> Current_Rack;
    std::unique_ptr<Batch> Bath_Batch;
    std::unique_ptr<PrtCount> Result;
    std::unique_ptr<Count_Logs> Logs;
    std::unique_ptr<Qt_Serial_Port> Port;
    Serial_Port* Counter = nullptr; // the port the action panels use: Port unless a test puts another
    std::unique_ptr<ui::Form_Test> Form;

    // The counter's device, the bath's shake and soak seconds; the pictures from the build's folder.
    Station_Rig(const std::string& counter_device, const std::string& picture_folder, int shake = 1,
                int soak = 3) {
        Lab_File = Folder.Path() / "lab.db";
        const Seeded_Lab& seeded = Seeded_Lab::Get();
        for (const char* name : {".db", ".labrack.db", ".sop.db", ".hadel.db", ".key"})
            rig_fs::copy_file(seeded.Folder.Path() / (std::string("template") + name),
                              Folder.Path() / (std::string("lab") + name));
        Init_Colors(G);
        G.Connect_String = embedded::Embedded_Connect_String(Lab_File);
        G.App_Folder = (Folder.Path() / "").string();
        G.Common_Folder = (rig_fs::path(picture_folder) / "").string();
        std::ofstream(Folder.Path() / "settings.txt")
            << "COMM_PORT;1;serial port of the counter\n"
            << "COMM_DEVICE;" << counter_device << ";the counter's device\n"
            << "INSTRUMENT_ID;PC002;instrument\n"
            << "SAMPLE_IMAGE_SHARE;" << Share().string() << ";sample pictures\n"
            << "SAMPLES_BETWEEN_CHECKS;15;\nISO2_FLUSH;18;\nISO5_FLUSH;15;\nISO15_FLUSH;13;\n"
            << "ISO2_CHECK;18;\nISO5_CHECK;15;\nISO15_CHECK;13;\nISO2_SAMPLE;21;\nISO5_SAMPLE;18;\n"
            << "ISO15_SAMPLE;999;\nINIT_ISO_HIST_DECREASE;22;\nISO_HIST_DECREASE_MAX;20;\n"
            << "SAMPLE_SHAKE_TIME;" << shake << ";\nSAMPLE_BATH_TIME;" << soak << ";\nMAX_RACKS_IN_BATH;3;\n"
            << "CHECK_VALIDATION_METHOD;CODE;\nFLUSH_VALIDATION_METHOD;CODE;\nSAMPLE_VALIDATION_METHOD;CODE;"
               "\n";
        Db = std::make_unique<db::Database>(G, Backend, Alerts);
        Technician = std::make_unique<Employee>(*Db);
        for (const auto& l : seeded.Logins)
            if (l.Station == "PARTICLE COUNT" && !l.Dismissed) {
                if (!Technician->Login(l.Password)) throw std::runtime_error("demo login refused");
                break;
            }
        Current_Rack = std::make_unique<Rack>(*Db, G, Alerts, *Technician, Clock, G.Connect_String);
        Bath_Batch = std::make_unique<Batch>(*Db);
        Result = std::make_unique<PrtCount>(*Db, G, *Technician);
        Logs = std::make_unique<Count_Logs>(Folder.Path(), Alerts);
        Port = std::make_unique<Qt_Serial_Port>(counter_device);
        Counter = Port.get();
        New_Form();
    }
    ~Station_Rig() { Form.reset(); }

    // A fresh main form over the same pieces (a restarted station), loaded.
    void New_Form() {
        Form.reset();
        Form = std::make_unique<ui::Form_Test>(ui::Form_Test_Parts{G, Clock, Alerts, Status, *Db,
                                                                   *Current_Rack, *Bath_Batch, *Result,
                                                                   *Technician, *Logs, *Counter});
        Form->Load(Folder.Path());
    }

    rig_fs::path Share() const { return Folder.Path() / "share"; }

    // The rack view's part: the rack in hand, and a sample of one of its positions handed to the bath.
    void Take_Rack(const std::string& rack_desc) {
        Current_Rack->Rack_Desc = rack_desc;
        Current_Rack->Rack_Load(rack_desc, "PrtCount");
    }
    // Positions counted from 0, as the rack view hands them over: the lab number its cell shows.
    std::string Lab_Number(int position) { return Trim(Current_Rack->Pos.at(size_t(position))->Sample_Desc); }
    bool Hand_To_Bath(int position) {
        return Form->Model().Process_Sample(int16_t(position), Lab_Number(position),
                                            Current_Rack->Pos.at(size_t(position))->Status);
    }
};

} // namespace pcs::test
