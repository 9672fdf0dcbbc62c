// A program that starts, shows its first window and ends as soon as that window has been painted:
// "bare" shows an empty Qt window, "login" the station's login screen as the program builds it
// (fonts, palette, pictures, database layer, login model). The benchmark times whole runs of it.
#include "db/database.h"
#include "embedded_backend.h"
#include "records/employee.h"
#include "ui/fonts.h"
#include "ui/form_login.h"
#include "ui/pictures.h"
#include "ui/screen_ports.h"

#include <QApplication>
#include <QTimer>
#include <cstring>

namespace {

// Ends the program at the window's first paint.
struct Quit_On_Paint : QObject {
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return QObject::eventFilter(o, e);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Quit_On_Paint quit;
    if (argc > 1 && std::strcmp(argv[1], "login") == 0) {
        pcs::ui::Install_Font_Substitutes();
        pcs::Globals g;
        g.Common_Folder = pcs::ui::Default_Picture_Folder().string();
        pcs::System_Clock clock;
        pcs::ui::Screen_Alerts alerts(g, clock);
        pcs::embedded::Embedded_Backend backend;
        pcs::db::Database db(g, backend, alerts);
        pcs::Employee employee(db);
        pcs::ui::Form_Login login(g, clock, employee, alerts, "EMBEDDED=lab.db");
        login.installEventFilter(&quit);
        login.show();
        return app.exec();
    }
    QWidget bare;
    bare.resize(1280, 1024);
    bare.installEventFilter(&quit);
    bare.show();
    return app.exec();
}
