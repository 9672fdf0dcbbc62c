#include "ui/screen_wait.h"

#include "ui/fonts.h"
#include "ui/form_message.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace pcs::ui {

namespace {

int Waits_In_Progress = 0;

// Most statements answer within a few milliseconds: those are waited for here, with no event handled,
// exactly as if they ran on the screen's thread.
constexpr std::chrono::milliseconds Quiet_Wait{15};

// Drops what a finger or the keyboard does while the station waits.
class Input_Drop final : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return QObject::eventFilter(o, e);
        }
    }
};

// What the worker and the screen's thread share: the worker's end and the loop to wake at it.
struct Shared_Wait {
    std::mutex Lock;
    std::condition_variable Ended;
    bool Done = false;
    std::exception_ptr Error;
    QEventLoop* Loop = nullptr;
};

} // namespace

Screen_Wait::Screen_Wait() = default;

Screen_Wait::~Screen_Wait() {
    delete status_.data();
}

Form_Message* Screen_Wait::Status() const {
    return status_.data();
}

bool Screen_Wait::Waiting() {
    return Waits_In_Progress > 0;
}

void Screen_Wait::Wait_For(const std::string& what, const std::function<void()>& work) {
    // Off the screen's thread there is no screen to keep alive.
    if (QThread::currentThread() != thread()) {
        work();
        return;
    }
    auto shared = std::make_shared<Shared_Wait>();
    // Declared before the worker so that it outlives it: the worker may still post its wake-up to it.
    QEventLoop loop;
    std::thread worker([shared, &work] {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(shared->Lock);
        shared->Error = error;
        shared->Done = true;
        shared->Ended.notify_all();
        if (shared->Loop) QMetaObject::invokeMethod(shared->Loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    struct Join {
        std::thread& t;
        ~Join() {
            if (t.joinable()) t.join();
        }
    } join{worker};

    {
        std::unique_lock<std::mutex> guard(shared->Lock);
        if (!shared->Ended.wait_for(guard, Quiet_Wait, [&] { return shared->Done; })) shared->Loop = &loop;
    }
    if (shared->Loop) {
        ++Waits_In_Progress;
        Input_Drop drop;
        qApp->installEventFilter(&drop);
        QPointer<Form_Message> shown;
        QTimer later;
        later.setSingleShot(true);
        connect(&later, &QTimer::timeout, this, [&] {
            QWidget* owner = Owner ? Owner() : nullptr;
            if (!owner) owner = QApplication::activeWindow();
            shown = new Form_Message(owner);
            shown->setObjectName("Form_Wait");
            Set_Font(shown->lbl_message(), what, Font_Spec{"Arial", 12, true, 0xFFFFFF});
            shown->lbl_message()->setAccessibleName(QString::fromStdString(what));
            shown->setAccessibleName(QString::fromStdString(what));
            status_ = shown;
            shown->Show_Over_Owner();
        });
        later.start(Status_Delay);
        loop.exec();
        later.stop();
        {
            std::lock_guard<std::mutex> guard(shared->Lock);
            shared->Loop = nullptr;
        }
        delete shown.data();
        qApp->removeEventFilter(&drop);
        --Waits_In_Progress;
    }
    worker.join();
    if (shared->Error) std::rethrow_exception(shared->Error);
}

} // namespace pcs::ui
