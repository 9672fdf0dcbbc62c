#include "station_app.h"

#include "any_backend.h"
#include "process_browser.h"
#include "qt_serial_port.h"

#include "common/globals.h"
#include "common/messages.h"
#include "common/text.h"
#include "counter/count_logs.h"
#include "counter/counter_link.h"
#include "db/connect_string.h"
#include "db/database.h"
#include "db/documents.h"
#include "db/trace.h"
#include "lab/batch.h"
#include "lab/rack.h"
#include "records/employee.h"
#include "records/prt_count.h"
#include "ui/artwork.h"
#include "ui/form_header.h"
#include "ui/form_login.h"
#include "ui/form_pcgrid.h"
#include "ui/form_rack.h"
#include "ui/main_form.h"
#include "ui/pictures.h"
#include "ui/rack_main_form.h"
#include "ui/screen_ports.h"
#include "ui/screen_wait.h"
#include "ui/working_form_set.h"
#include "views/rack_view.h"
#include "views/station_main_form.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <thread>
#include <utility>

namespace pcs::app {

namespace {

// The rack view's exit is the login screen's orderly exit.
class Login_App_Exit final : public App_Exit_Port {
public:
    explicit Login_App_Exit(ui::Form_Login& login) : login_(login) {}
    void App_Exit() override { login_.App_Exit(); }

private:
    ui::Form_Login& login_;
};

// In a kiosk the window system's close (a key chord, a panel's close button) does nothing: the
// station's own Exit is the only way out.
class Kiosk_Close_Filter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Close && e->spontaneous() && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            e->ignore();
            return true;
        }
        return QObject::eventFilter(watched, e);
    }
};

// The process-wide values as the first forms need them: palette and picture folder.
Globals Startup_Globals(const Station_Options& o) {
    Globals g;
    Init_Colors(g);
    g.Common_Folder = (o.Picture_Folder / "").string();
    return g;
}

// The site's connection string from the options; a blank one is a slip, not a wish for no database,
// and the station's own data source serves then.
std::string Station_Connect_String(const Station_Options& o) {
    return Trim(o.Connect_String).empty() ? std::string(db::Station_Connect_Default) : o.Connect_String;
}

// Runs a job once the window has painted for the first time: what the first screen does not need waits
// until the technician sees it.
class After_First_Paint final : public QObject {
public:
    After_First_Paint(QWidget* window, std::function<void()> job) : job_(std::move(job)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && job_) {
            o->removeEventFilter(this);
            QTimer::singleShot(0, this, std::exchange(job_, nullptr));
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> job_;
};

} // namespace

// Built in the station's start-up order: the shared values and records first (creating the rack
// loads settings.txt), then the login screen; the header bar once the login screen is up, and the
// working forms at the first login.
struct Station_App::Parts final : Working_Forms, Header_Actions {
    explicit Parts(const Station_Options& o) : options(o) {
        database.Set_Fallback_Connect_String(Fallback_Connect_String(o.Program_Folder));
        technician.Station = "PARTICLE COUNT";
        login.Set_Counter(&port, &rack.Settings);
        alerts.Set_Fallback_Owner(&login);
        waits.Owner = [this]() -> QWidget* {
            QWidget* w = QApplication::activeWindow();
            return w ? w : static_cast<QWidget*>(&login);
        };
        database.Set_Wait_Port(&waits);
    }

    // The header bar stays hidden until a login: it is made after the login screen's first paint, or
    // when first needed.
    ui::Form_Header& Header() {
        if (header) return *header;
        header.emplace(g, clock, technician, status, alerts, static_cast<Header_Actions&>(*this));
        header->showStation();
        header->Timer = &login.Screen();
        status.Attach_Status_Label(header->lbl_Status());
        set.Header = &*header;
        // The header's document button: the test group's procedure document in the site's browser.
        QObject::connect(&*header, &ui::Form_Header::Document_Requested, &*header,
                         [this](const std::string& test_code) {
                             db::Show_Document(database, browser, documents.Server, test_code);
                         });
        return *header;
    }

    // ---- Header_Actions: where the header's touches go ----------------------------------------------
    void Lock() override { login.Screen().showSplash(); }
    // The toolbox's runs go to the main form's station, once it has loaded.
    void Toolbox_Run(Run_Kind kind) override {
        if (loaded) main_form->Model().Toolbox_Run(kind);
    }
    void Reload_Settings() override { rack.Load_Software_settings(); }

    // ---- Working_Forms: the login screen's view of the three working forms --------------------------
    Saved_Window_Positions Positions() const override { return set.Positions(); }
    void Restore_Positions(const Saved_Window_Positions& p) override { set.Restore_Positions(p); }
    void Show_User() override {
        Header();
        set.Show_User();
    }
    void Hibernate_Working_Forms() override { set.Hibernate_Working_Forms(); }
    // The password check waits on the lab database (a deliberately slow hash), and the screen's thread
    // turns its event loop meanwhile: the forms' widgets are built on that turn, so that an accepted login
    // only loads and shows them. A check answered at once finds them unbuilt and builds them itself.
    void Password_Check_Starting() override {
        if (rack_view) return;
        QTimer::singleShot(0, &login, [this] {
            try {
                Build_Working_Forms();
            } catch (const std::exception&) {
                // Built again, and its failure shown, when the login is accepted.
            }
        });
    }
    void Show_Working_Forms() override {
        if (!loaded) Load_Working_Forms();
        set.Show_Working_Forms();
    }
    void Technician_Logged_In() override {
        if (!loaded) return;
        rack_view->Model().Technician_Logged_In();
        rack_view->Draw();
    }
    bool Leave() override {
        if (!loaded) return false;
        rack_view->Model().img_Exit_Click();
        return true;
    }

    // The forms' widgets, joined to each other and to the header: nothing here reads the lab database,
    // the settings or the technician.
    void Build_Working_Forms() {
        if (rack_view) return;
        if (!main_form) {
            main_form = std::make_unique<ui::Form_Test>(ui::Form_Test_Parts{
                g, clock, alerts, status, database, rack, bath_batch, result, technician, logs, port});
            main_form->Allow_Debug(options.Development);
            main_port = std::make_unique<Station_Main_Form>(main_form->Model());
            Station& station = main_form->Model();
            QObject::connect(&set, &ui::Working_Form_Set::Main_Form_Shown, main_form.get(),
                             [&station] { station.reActivate(); });
            QObject::connect(&set, &ui::Working_Form_Set::Hibernating, main_form.get(),
                             [&station] { station.Hibernate(); });
        }
        auto view = std::make_unique<ui::Form_Rack>(
            ui::Form_Rack_Parts{g, clock, rack, technician, status, alerts, *main_port, app_exit});
        ui::Join_Main_Form_And_Rack(*main_form, *view);
        view->Own_Window(&Header());
        rack_view = std::move(view);
    }

    // The main form loads (settings, stored bath, histogram, check standard primed), then the rack view
    // loads as the base window that owns the header and the main form.
    void Load_Working_Forms() {
        Build_Working_Forms();
        loaded = true;
        main_form->Load(options.Program_Folder);
        Header().showStation(); // the main form's load names the station and its test group
        set.Main_Form = main_form.get();
        set.Rack_View = rack_view.get();
        // The header bar across the top, the rack view under it at the left, the main form under it at
        // the right; the main form keeps its histogram window beside itself.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        header->move(screen.topLeft());
        rack_view->move(screen.left(), screen.top() + header->height());
        main_form->move(screen.left() + std::max(0, screen.width() - main_form->width()),
                        screen.top() + header->height());
        if (kiosk) rack_view->setWindowState(Qt::WindowFullScreen);
        rack_view->show();
        rack_view->Load();
    }

    // Full screen, no pointer, no close from the window system.
    void Enter_Kiosk() {
        kiosk = true;
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
        qApp->installEventFilter(&close_filter);
        login.setWindowState(Qt::WindowFullScreen);
    }

    Station_Options options;
    Globals g{Startup_Globals(options)};
    // The pictures are decoded while the records below are made, the login screen's first.
    ui::Picture_Prefetch pictures{g.Common_Folder,
                                  {ui::Picture_Splash, ui::Picture_Key_Cap, ui::Picture_Key_Cap_Cmd,
                                   ui::Picture_Login_Icon, ui::Picture_Config_Icon, ui::Picture_Iso_Icon,
                                   ui::Picture_Button}};
    System_Clock clock;
    ui::Screen_Alerts alerts{g, clock};
    ui::Screen_Status status;
    ui::Screen_Wait waits;
    // Every statement goes to the trace file when the options name one.
    std::unique_ptr<db::Db_Backend> backend{
        db::With_Statement_Trace(std::make_unique<Any_Backend>(), options.Sql_Trace.string())};
    db::Database database{g, *backend, alerts};
    Employee technician{database};
    Rack rack{database, g, alerts, technician, clock, Station_Connect_String(options)};
    PrtCount result{database, g, technician};
    Batch bath_batch{database};
    Count_Logs logs{options.Program_Folder, alerts};
    Qt_Serial_Port port{Counter_Device_Path(rack.Settings)};
    db::Document_Config documents{db::Document_Config_From_Environment()};
    browser::Process_Browser browser{documents.Browser_Program};
    ui::Form_Login login{g, clock, technician, alerts, g.Connect_String, this};
    Login_App_Exit app_exit{login};
    std::optional<ui::Form_Header> header;
    ui::Working_Form_Set set;
    std::unique_ptr<ui::Form_Test> main_form;
    std::unique_ptr<Station_Main_Form> main_port;
    std::unique_ptr<ui::Form_Rack> rack_view;
    bool loaded = false; // the working forms have been loaded (at the first accepted login)
    std::thread warm_up;
    bool kiosk = false;
    Kiosk_Close_Filter close_filter;
};

Station_App::Station_App(const Station_Options& options) : parts_(std::make_unique<Parts>(options)) {}

Station_App::~Station_App() {
    if (parts_->warm_up.joinable()) parts_->warm_up.join();
    // The owned windows go before their owner, the rack view before the shared records.
    if (parts_->loaded) parts_->rack_view->Unload();
    parts_->main_form.reset();
}

QWidget* Station_App::Login_Screen() {
    return &parts_->login;
}

void Station_App::Orderly_Exit() {
    if (!parts_->Leave()) parts_->login.App_Exit();
}

bool Station_App::Refuse_Damaged_Lab_Database() {
    std::optional<std::string> damage;
    try {
        db::Wait_Text waiting(parts_->database, "Checking the lab database…");
        damage = parts_->database.Check_Damage();
    } catch (const std::exception&) {
        return false;
    }
    if (!damage) return false;
    std::fprintf(stderr, "pcstation: the lab database is damaged, nothing was written: %s\n",
                 damage->c_str());
    pcs::Show_Alert(parts_->alerts,
                    "The lab database is damaged and the station will not write into it:\r\n" + *damage +
                        "\r\nThe station closes now. Call the lab's IT to restore the lab database "
                        "from a copy.");
    return true;
}

bool Station_App::Kiosk() const {
    if (parts_->options.Kiosk) return true;
    const Settings* s = parts_->rack.Settings.Find("KIOSK");
    return s && Trim(s->Value) == "1";
}

int Station_App::Run() {
    if (Kiosk()) parts_->Enter_Kiosk();
    parts_->login.show();
    // The whole-file check reads every page: it runs once the login screen is up, not before it. The
    // lists the first login asks for are readied after it, while the technician types.
    After_First_Paint after(&parts_->login, [this] {
        if (Refuse_Damaged_Lab_Database()) {
            QApplication::exit(Exit_Damaged_Lab_Database);
            return;
        }
        parts_->warm_up = parts_->database.Warm_Up();
        parts_->Header();
    });
    return QApplication::exec();
}

} // namespace pcs::app
