#include "touch_script.h"

#include "station_options.h"

#include "ui/screen_wait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <map>

namespace pcs::app {

namespace {

constexpr std::chrono::milliseconds Poll_Interval{25};

// The words of a line: blanks separate them, double quotes keep blanks inside one ("" is empty).
std::optional<QStringList> Words(const std::string& line) {
    QStringList words;
    QString word;
    bool quoted = false, any = false;
    for (QChar c : QString::fromStdString(line)) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && c.isSpace()) {
            if (any) words << word;
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (quoted) return std::nullopt;
    if (any) words << word;
    return words;
}

// Verb: the fewest and most words it takes after it.
const std::map<QString, std::pair<int, int>>& Verbs() {
    static const std::map<QString, std::pair<int, int>> verbs{
        {"timeout", {1, 1}},   {"touch", {1, 1}}, {"type", {1, 1}},    {"wait", {1, 3}},
        {"wait-file", {1, 1}}, {"show", {1, 1}},  {"picture", {1, 1}},
    };
    return verbs;
}

QString Text_Of(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->displayText();
    return w->accessibleName();
}

// The windows to look in: for a touch only the modal window while one is up, as a finger finds it.
std::vector<QWidget*> Windows(bool touching, const QString& window_name) {
    std::vector<QWidget*> out;
    QWidget* modal = touching ? QApplication::activeModalWidget() : nullptr;
    const QWidgetList all = modal ? QWidgetList{modal} : QApplication::topLevelWidgets();
    for (QWidget* w : all)
        if (w->isVisible() && (window_name.isEmpty() || w->objectName() == window_name)) out.push_back(w);
    return out;
}

QWidget* Find_Control(const QString& spec, bool touching) {
    const qsizetype slash = spec.indexOf('/');
    const QString window = slash > 0 ? spec.left(slash) : QString();
    const QString name = slash > 0 ? spec.mid(slash + 1) : spec;
    for (QWidget* top : Windows(touching, window)) {
        QList<QWidget*> all = top->findChildren<QWidget*>();
        all.prepend(top);
        for (QWidget* w : all)
            if ((w->objectName() == name || w->accessibleName() == name) && w->isVisible() &&
                (!touching || w->isEnabled()))
                return w;
    }
    return nullptr;
}

// A press and a release at the control's centre. The release may open a modal window and return
// only when it closes; the control may be gone by then.
void Touch(QWidget* w) {
    QPointer<QWidget> target(w);
    const QPointF local = QRectF(w->rect()).center();
    const QPointF global = w->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    if (!target) return;
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// What a failing step left on the screen: the modal window and its message, if any.
std::string On_Screen() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return "";
    std::string text = " (on screen: " + modal->objectName().toStdString();
    if (auto* m = modal->findChild<QLabel*>("lbl_message"))
        text += ": \"" + m->text().simplified().toStdString() + "\"";
    return text + ")";
}

// The variable a word begins with ("$SCREENS/a.png" -> SCREENS), or "" when it begins with none.
QString Variable_Of(const QString& word) {
    if (!word.startsWith('$')) return {};
    qsizetype end = 1;
    while (end < word.size() && (word[end].isLetterOrNumber() || word[end] == '_'))
        ++end;
    return word.mid(1, end - 1);
}

QWidget* Key_For(QWidget* keyboard, const QString& tag) {
    QWidget* key = nullptr;
    for (QWidget* k : keyboard->findChildren<QWidget*>())
        if (k->property("tag").toString() == tag && k->isVisible()) key = k;
    return key;
}

QString Key_Tag(QChar c) {
    return c == ' ' ? QString("CMD_SPACE") : QString(c.toUpper());
}

QWidget* Shown_Keyboard() {
    QWidget* keyboard = Find_Control("Form_KeyInput", true);
    return keyboard && keyboard == keyboard->window() ? keyboard : nullptr;
}

Touch_Step Step(const QString& verb, const QStringList& args) {
    return {0, (verb + " " + args.join(' ')).toStdString(), verb, args};
}

} // namespace

std::vector<Touch_Step> Screenshot_Script(const std::string& folder, bool log_in) {
    const QString dir = QString::fromStdString(folder);
    std::vector<Touch_Step> steps{Step("picture", {dir + "/login.png"})};
    if (!log_in) return steps;
    for (Touch_Step s :
         {Step("touch", {"cmd_Login"}), Step("type", {"$PCSTATION_DEMO_PASSWORD"}), Step("touch", {"Enter"}),
          Step("timeout", {"60"}), Step("wait", {"Form_Test"}),
          Step("wait", {"Form_Rack/lbl_rackDesc", "!=", ""}), Step("picture", {dir + "/working.png"})})
        steps.push_back(std::move(s));
    return steps;
}

QImage Screen_Picture() {
    std::vector<QWidget*> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) shown.push_back(w);
    if (shown.empty()) return {};
    const QScreen* screen = shown.front()->screen();
    const QRect area = screen->geometry();
    QWidget* modal = QApplication::activeModalWidget();
    // Full-screen windows stand behind the others; the modal window is in front of all.
    auto rank = [&](const QWidget* w) { return w == modal ? 2 : w->frameGeometry().contains(area) ? 0 : 1; };
    std::stable_sort(shown.begin(), shown.end(),
                     [&](const QWidget* a, const QWidget* b) { return rank(a) < rank(b); });
    // In the screen's own pixels: each window's grab is already drawn at that ratio.
    const qreal ratio = screen->devicePixelRatio();
    QImage image((QSizeF(area.size()) * ratio).toSize(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.scale(ratio, ratio);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (QWidget* w : shown)
        p.drawPixmap(QRect(w->pos() - area.topLeft(), w->size()), w->grab());
    p.end();
    return image;
}

bool Type_On_Keyboard(const QString& text) {
    QWidget* keyboard = Shown_Keyboard();
    if (!keyboard) return false;
    for (QChar c : text)
        if (QWidget* key = Key_For(keyboard, Key_Tag(c))) Touch(key);
    if (QWidget* enter = Key_For(keyboard, "CMD_ENTER")) Touch(enter);
    return true;
}

Touch_Script_File Parse_Touch_Script(std::istream& in) {
    Touch_Script_File file;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::optional<QStringList> words = Words(line);
        auto bad = [&](const std::string& why) {
            file.Error = "line " + std::to_string(number) + ": " + why;
            return file;
        };
        if (!words) return bad("a quote is not closed");
        if (words->isEmpty()) continue;
        Touch_Step s{number, line, words->takeFirst(), *words};
        auto verb = Verbs().find(s.Verb);
        if (verb == Verbs().end()) return bad("unknown step '" + s.Verb.toStdString() + "'");
        const auto [least, most] = verb->second;
        if (s.Args.size() < least || s.Args.size() > most)
            return bad("'" + s.Verb.toStdString() + "' takes " + std::to_string(least) +
                       (least == most ? "" : " to " + std::to_string(most)) + " word(s)");
        if (s.Verb == "wait" && s.Args.size() > 1 &&
            (s.Args.size() != 3 || !QStringList{"=", "~", "!="}.contains(s.Args[1])))
            return bad("write 'wait <control> = <text>', '~' (contains) or '!='");
        bool number_ok = true;
        if (s.Verb == "timeout" && (s.Args[0].toDouble(&number_ok) <= 0 || !number_ok))
            return bad("the timeout is a number of seconds above 0");
        file.Steps.push_back(std::move(s));
    }
    return file;
}

Touch_Script::Touch_Script(std::vector<Touch_Step> steps, std::string name, Script_Environment env)
    : steps_(std::move(steps)), name_(std::move(name)), env_(std::move(env)) {
    On_Failure = [](const std::string& message) {
        std::fprintf(stderr, "pcstation: %s\n", message.c_str());
        std::fflush(stderr);
        // Every loop ends, the modal windows' too: the program stops with the script's exit code.
        QCoreApplication::exit(Exit_Script_Failed);
    };
}

void Touch_Script::Start() {
    step_began_ = std::chrono::steady_clock::now();
    QTimer::singleShot(Poll_Interval, this, [this] { Poll(); });
}

QString Touch_Script::Expand(const QString& word) const {
    const QString name = Variable_Of(word);
    if (name.isEmpty()) return word;
    std::optional<std::string> value = env_(name.toStdString());
    return (value ? QString::fromStdString(*value) : QString()) + word.mid(name.size() + 1);
}

void Touch_Script::Fail(const std::string& why) {
    failed_ = true;
    const Touch_Step& s = steps_[next_];
    On_Failure("touch script " + name_ + " line " + std::to_string(s.Line) + " (" + s.Verb.toStdString() +
               " " + s.Args.join(' ').toStdString() + "): " + why + On_Screen());
}

void Touch_Script::Poll() {
    if (failed_ || Finished()) return;
    const Touch_Step& s = steps_[next_];
    for (const QString& a : s.Args)
        if (const QString name = Variable_Of(a); !name.isEmpty() && !env_(name.toStdString()))
            return Fail("the environment variable " + name.toStdString() + " is not set");
    why_.clear();
    // A step is taken before its touch is made: a modal window the touch opens plays the next steps.
    if (!Try(s)) {
        const auto waited = std::chrono::steady_clock::now() - step_began_;
        if (!failed_ && waited > timeout_)
            return Fail(why_ + ", still so after " +
                        QString::number(timeout_.count() / 1000.0).toStdString() + " s");
        if (!failed_) QTimer::singleShot(Poll_Interval, this, [this] { Poll(); });
    }
}

bool Touch_Script::Try(const Touch_Step& s) {
    auto step_done = [this] {
        ++next_;
        step_began_ = std::chrono::steady_clock::now();
        if (Finished()) {
            std::printf("touch-script: done\n");
            std::fflush(stdout);
        } else {
            QTimer::singleShot(Poll_Interval, this, [this] { Poll(); });
        }
        return true;
    };
    const QString target = s.Args.value(0);
    // A finger waits while the station says it waits on the lab database: touches then are dropped.
    if ((s.Verb == "touch" || s.Verb == "type") && ui::Screen_Wait::Waiting()) {
        why_ = "the station is waiting on the lab database";
        return false;
    }
    if (s.Verb == "timeout") {
        timeout_ = std::chrono::milliseconds(static_cast<long long>(target.toDouble() * 1000));
        return step_done();
    }
    if (s.Verb == "wait-file") {
        if (QFileInfo::exists(Expand(target))) return step_done();
        why_ = "the file " + target.toStdString() + " did not appear";
        return false;
    }
    if (s.Verb == "picture") {
        const QImage picture = Screen_Picture();
        if (picture.isNull()) {
            why_ = "no window is shown";
            return false;
        }
        const QString path = Expand(target);
        if (!picture.save(path, "PNG")) {
            Fail("the picture cannot be written to " + path.toStdString());
            return false;
        }
        std::printf("touch-script: saved %s\n", qPrintable(path));
        std::fflush(stdout);
        return step_done();
    }
    if (s.Verb == "type") {
        QWidget* keyboard = Shown_Keyboard();
        if (!keyboard) {
            why_ = "the on-screen keyboard is not up";
            return false;
        }
        std::vector<QWidget*> keys;
        for (QChar c : Expand(target)) {
            QWidget* key = Key_For(keyboard, Key_Tag(c));
            if (!key) {
                // The character itself is not named: it may be a secret.
                Fail("the keyboard has no key for a character of the text");
                return false;
            }
            keys.push_back(key);
        }
        QPointer<QWidget> guard(keyboard);
        step_done();
        for (QWidget* key : keys)
            if (guard) Touch(key);
        return true;
    }
    const bool touching = s.Verb == "touch";
    QWidget* w = Find_Control(target, touching);
    if (!w) {
        why_ = touching ? "no control " + target.toStdString() + " that a finger can reach"
                        : "no control " + target.toStdString() + " is shown";
        return false;
    }
    if (touching) {
        step_done();
        Touch(w);
        return true;
    }
    if (s.Verb == "show") {
        std::printf("touch-script: %s = %s\n", qPrintable(target), qPrintable(Text_Of(w).trimmed()));
        std::fflush(stdout);
        return step_done();
    }
    // wait
    if (s.Args.size() == 1) return step_done();
    const QString shown = Text_Of(w).trimmed(), want = Expand(s.Args[2]).trimmed();
    const QString& op = s.Args[1];
    const bool holds = op == "=" ? shown == want : op == "~" ? shown.contains(want) : shown != want;
    if (holds) return step_done();
    why_ = target.toStdString() + " shows \"" + shown.toStdString() + "\"";
    return false;
}

} // namespace pcs::app
