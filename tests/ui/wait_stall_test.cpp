// A lab database that answers only after 5 s: while the password check waits, the login screen goes on
// painting, says what it waits for and drops touches; the login ends as it does without the stall.
#include "common/text.h"
#include "embedded_fixture.h"
#include "lab/rack.h"
#include "shell/key_input.h"
#include "ui/form_login.h"
#include "ui/form_message.h"
#include "ui/screen_ports.h"
#include "ui/screen_wait.h"
#include "ui/working_form_set.h"
#include "ui_fixture.h"

#include <QLabel>
#include <QPushButton>

#include <chrono>
#include <thread>

using namespace pcs;
using namespace pcs::test;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

namespace {

// The embedded lab database, with the statements that hold a given text answered only after a stall.
class Stalling_Backend final : public db::Db_Backend {
public:
    Stalling_Backend(db::Db_Backend& inner, std::string stall_on, std::chrono::milliseconds stall)
        : inner_(inner), stall_on_(std::move(stall_on)), stall_(stall) {}
    std::unique_ptr<db::Db_Connection> Connect(const std::string& cs, const db::Connect_Options& o) override {
        struct Connection final : db::Db_Connection {
            std::unique_ptr<db::Db_Connection> Inner;
            const Stalling_Backend* Owner = nullptr;
            db::Exec_Outcome Execute(const std::string& sql) override {
                if (sql.find(Owner->stall_on_) != std::string::npos)
                    std::this_thread::sleep_for(Owner->stall_);
                return Inner->Execute(sql);
            }
        };
        auto c = std::make_unique<Connection>();
        c->Inner = inner_.Connect(cs, o);
        c->Owner = this;
        return c;
    }

private:
    db::Db_Backend& inner_;
    std::string stall_on_;
    std::chrono::milliseconds stall_;
};

// Paints of a window while the screen waits on the lab database.
class Paint_Watch final : public QObject {
public:
    std::vector<Steady::time_point> Paints;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && ui::Screen_Wait::Waiting()) Paints.push_back(Steady::now());
        return QObject::eventFilter(o, e);
    }
};

struct Login_Outcome {
    int16_t Emp_Num = -1;
    std::string App_State;
    bool Login_Shown = true, Main_Form_Shown = false;
    std::string Status_Text;
    double Longest_Gap_Ms = 0, Waited_Ms = 0;
    int Login_Clicks = 0;
};

struct WaitStall : Embedded_Test {
    // Logs the demo technician in on the keys, over a lab database stalled as given; a finger touches
    // Login again a second into the wait.
    Login_Outcome Log_In(std::chrono::milliseconds stall) {
        Stalling_Backend stalling(Backend, "validate_password", stall);
        db::Database database(Globals_, stalling, Alerts);
        ui::Screen_Wait waits;
        database.Set_Wait_Port(&waits);
        Init_Colors(Globals_);
        Globals_.Common_Folder = PCS_PICTURE_DIR;
        Manual_Clock clock{Time_Point{} + 100000s};
        ui::Screen_Alerts screen_alerts{Globals_, clock};
        Employee emp(database);
        emp.Station = "PARTICLE COUNT";
        QWidget main_form;
        main_form.setObjectName("Form_Test");
        ui::Working_Form_Set forms;
        forms.Main_Form = &main_form;
        ui::Form_Login login(Globals_, clock, emp, screen_alerts, Globals_.Connect_String, &forms);
        login.resize(1280, 1024);
        login.show();
        waits.Owner = [&login] { return &login; };

        Login_Outcome out;
        auto* cmd_login = login.findChild<QPushButton*>("cmd_Login");
        QObject::connect(cmd_login, &QPushButton::clicked, [&] { ++out.Login_Clicks; });
        Paint_Watch paints;
        login.installEventFilter(&paints);
        // Something on the screen changes every 20 ms (as the bath's clock and the counter do).
        std::optional<Steady::time_point> wait_began;
        bool touched = false;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            login.update();
            if (!ui::Screen_Wait::Waiting()) return;
            if (!wait_began) wait_began = Steady::now();
            if (ui::Form_Message* s = waits.Status(); s && s->isVisible() && out.Status_Text.empty()) {
                out.Status_Text = s->lbl_message()->text().toStdString();
                Grab(s, "waiting_status");
            }
            if (!touched && Steady::now() - *wait_began > 1s) {
                touched = true;
                QTest::mouseClick(cmd_login, Qt::LeftButton, {}, cmd_login->rect().center());
            }
        });
        probe.start(20);

        const std::string password = Seeded_Template::Get().Logins.front().Password;
        When_Modal(
            [&](QWidget* kb) {
                for (char c : password) {
                    const std::string want(1, char(std::toupper(static_cast<unsigned char>(c))));
                    for (int i = 0; i < Key_Count; ++i)
                        if (want == Key_Tags[static_cast<size_t>(i)])
                            Touch(kb->findChild<QWidget*>(QString("lbl_Key_%1").arg(i)));
                }
                Touch(kb->findChild<QWidget*>("lbl_Key_52"));
            },
            "Form_KeyInput");
        Touch(cmd_login);
        const auto ended = Steady::now();
        probe.stop();
        QApplication::processEvents(); // a touch that had been kept back would arrive now

        if (wait_began) {
            out.Waited_Ms = std::chrono::duration<double, std::milli>(ended - *wait_began).count();
            Steady::time_point last = *wait_began;
            for (auto t : paints.Paints) {
                out.Longest_Gap_Ms =
                    std::max(out.Longest_Gap_Ms, std::chrono::duration<double, std::milli>(t - last).count());
                last = t;
            }
            out.Longest_Gap_Ms =
                std::max(out.Longest_Gap_Ms, std::chrono::duration<double, std::milli>(ended - last).count());
        }
        out.Emp_Num = emp.Emp_Num;
        out.App_State = Globals_.App_State;
        out.Login_Shown = login.isVisible();
        out.Main_Form_Shown = main_form.isVisible();
        EXPECT_FALSE(ui::Screen_Wait::Waiting());
        EXPECT_FALSE(waits.Status()) << "the status goes with the wait";
        return out;
    }
};

} // namespace

TEST_F(WaitStall, AStalledPasswordCheckKeepsTheScreenPaintingAndEndsAsWithoutTheStall) {
    const Login_Outcome quick = Log_In(0ms);

    const Login_Outcome stalled = Log_In(5000ms);
    EXPECT_GE(stalled.Waited_Ms, 4900);
    EXPECT_LT(stalled.Longest_Gap_Ms, 100) << "the screen froze while the check waited";
    EXPECT_EQ(stalled.Status_Text, "Checking the password…");
    EXPECT_EQ(stalled.Login_Clicks, 1) << "a touch during the wait must be dropped, not kept for later";

    EXPECT_NE(quick.Emp_Num, -1);
    EXPECT_EQ(stalled.Emp_Num, quick.Emp_Num);
    EXPECT_EQ(stalled.App_State, quick.App_State);
    EXPECT_EQ(stalled.Login_Shown, quick.Login_Shown);
    EXPECT_EQ(stalled.Main_Form_Shown, quick.Main_Form_Shown);
}

// What the station tells the technician it waits for, operation by operation, and the statement's
// failure still reaches the caller from the worker.
TEST_F(WaitStall, WaitsAreNamedAndCarryTheirFailureBack) {
    struct Recording_Wait final : db::Wait_Port {
        std::vector<std::string> Texts;
        void Wait_For(const std::string& what, const std::function<void()>& work) override {
            Texts.push_back(what);
            std::thread t([&] {
                try {
                    work();
                } catch (...) {
                    error = std::current_exception();
                }
            });
            t.join();
            if (error) std::rethrow_exception(std::exchange(error, nullptr));
        }
        std::exception_ptr error;
    } waits;
    Db->Set_Wait_Port(&waits);
    Manual_Clock clock{Time_Point{} + 100000s};
    Employee emp(*Db);
    emp.Station = "PARTICLE COUNT";
    Rack rack(*Db, Globals_, Alerts, emp, clock, Globals_.Connect_String);
    const std::string desc = One("select RACK_DESC from labrack.dbo.racks(nolock)");
    waits.Texts.clear();
    rack.Rack_Load(desc, Test_Code_PrtCount);
    ASSERT_FALSE(waits.Texts.empty());
    EXPECT_EQ(waits.Texts.front(), "Loading rack " + Trim(desc) + "…");
    EXPECT_EQ(Db->Wait_Text(), db::Default_Wait_Text);

    Globals_.Connect_String = "EMBEDDED=" + (Folder.Path() / "missing.db").string();
    EXPECT_THROW(Db->Open_Recordset("select 1", true), db::Connect_Error);
}
