#include "ui/main_form.h"

#include "common/text.h"
#include "lab/rack.h"
#include "records/prt_count.h"
#include "ui/fonts.h"
#include "ui/form_action.h"
#include "ui/form_pcgrid.h"
#include "ui/guarded.h"
#include "ui/pictures.h"
#include "ui/station_artwork.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace pcs::ui {

// A cell of a bath slot: plain text on the bath, or boxed (filled and bordered) when the model says so.
class Bath_Cell final : public Touch_Label {
public:
    using Touch_Label::Touch_Label;

    // Redraws only when something shown changed: the tick touches thirty slots every second.
    void Set(const std::string& text, bool boxed, QColor back, QColor fore, Qt::Alignment align) {
        const QString t = QString::fromStdString(text);
        if (t == text_ && boxed == boxed_ && back == back_ && fore == fore_ && align == align_) return;
        text_ = t;
        boxed_ = boxed;
        back_ = back;
        fore_ = fore;
        align_ = align;
        setText(t);
        setAlignment(align);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, fore);
        setPalette(p);
        update();
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        if (boxed_) {
            QPainter p(this);
            p.fillRect(rect(), back_);
            p.setPen(QPen(Qt::black, 1));
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
        Touch_Label::paintEvent(e);
    }

private:
    QString text_;
    bool boxed_ = false;
    QColor back_, fore_;
    Qt::Alignment align_;
};

namespace {

constexpr int Form_W = 980;
constexpr int Bath_Top = 70, Bath_Margin = 10;
constexpr int Slot_W = 156, Slot_H = 88;
constexpr int Picture_W = 54, Picture_H = 72;
constexpr int Cell_X = Picture_W + 6, Cell_W = Slot_W - Cell_X - 6;
constexpr int Results_Top = Bath_Top + Bath_Rows * Slot_H + 2 * Bath_Margin + 10;
constexpr int Run_Id_W = 124, Row_H = 21;

QColor C(Color c) {
    return To_QColor(c);
}

void Fill(QWidget* w, QColor back, QColor border = QColor()) {
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, back);
    if (border.isValid()) p.setColor(QPalette::WindowText, border);
    w->setPalette(p);
}

QLabel* Make_Label(QWidget* parent, const QString& name, const std::string& font, int size, bool bold,
                   QColor colour) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    Set_Font(l, "", font, int16_t(size), bold, colour);
    return l;
}

} // namespace

Form_Test::Form_Test(const Form_Test_Parts& parts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), parts_(parts) {
    setObjectName("Form_Test");
    setAccessibleName("Particle count station");
    station_ = std::make_unique<Station>(
        Station_Parts{parts.G, parts.Time, parts.Alerts, parts.Status, parts.Db, parts.Current_Rack,
                      parts.Bath_Batch, parts.Result, parts.Technician, parts.Logs, *this, *this});
    Fill(this, C(parts_.G.Colors.Color_Slate));
    bath_timer_ = new QTimer(this);
    bath_timer_->setInterval(1000);
    connect(bath_timer_, &QTimer::timeout, this, [this] { Touch([&] { station_->Bath_Timer_Tick(); }); });

    Build_Header();
    Build_Bath();
    Build_Results();
    setFixedSize(Form_W, Results_Top + 18 + Result_Table::Row_Count * Row_H + 12);
    Scale_Design_Layout(this);

    // The histogram window beside the form, owned by it so it stays above the rack view.
    pcgrid_ = new form_pcGrid(parts_.G, parts_.Alerts, station_->History_Graph, this);
    Draw();
}

Form_Test::~Form_Test() {
    Close_Last_Panel();
}

template <class F> void Form_Test::Touch(F&& f) {
    Guarded(parts_.Alerts, std::forward<F>(f));
}

void Form_Test::Build_Header() {
    const QColor white = C(parts_.G.Colors.Color_White), slate = C(parts_.G.Colors.Color_Slate);
    auto shape = [&](const char* name, QRect r) {
        auto* f = new QFrame(this);
        f->setObjectName(name);
        f->setGeometry(r);
        f->setFrameShape(QFrame::Box);
        Fill(f, slate.lighter(115), C(parts_.G.Colors.Color_Steel));
        return f;
    };
    shp_RackName_ = shape("shp_RackName", QRect(10, 8, 440, 54));
    shp_Countdown_ = shape("shp_Countdown", QRect(460, 8, 110, 54));
    shp_Outstanding_ = shape("shp_Outstanding", QRect(580, 8, 110, 54));

    lbl_RackName_ = new Touch_Label("lbl_RackName", "Open the rack view on this rack", this);
    lbl_RackName_->setGeometry(shp_RackName_->geometry().adjusted(2, 2, -2, -2));
    lbl_RackName_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Set_Font(lbl_RackName_, "", "Arial", 20, true, white);
    connect(lbl_RackName_, &Touch_Label::clicked, this,
            [this] { Touch([&] { station_->Rack_Name_Click(); }); });

    // The two numbers carry a small caption so a technician tells them apart from across the bench.
    auto captioned = [&](QWidget* box, const QString& name, const char* caption, QLabel*& caption_label) {
        caption_label = Make_Label(this, name + "_Caption", "verdana", 7, false, white);
        caption_label->setText(caption);
        caption_label->setGeometry(box->geometry().adjusted(6, 2, -4, -38));
        QLabel* number = Make_Label(this, name, "arial", 20, true, white);
        number->setAlignment(Qt::AlignCenter);
        number->setGeometry(box->geometry().adjusted(2, 14, -2, -2));
        return number;
    };
    lbl_Countdown_ = captioned(shp_Countdown_, "lbl_Countdown", "NEXT CHECK IN", lbl_Countdown_Caption_);
    lbl_Outstanding_ =
        captioned(shp_Outstanding_, "lbl_Outstanding", "OUTSTANDING", lbl_Outstanding_Caption_);

    img_Refresh_ = new Touch_Label("img_Refresh", "Reload the bath", this);
    img_Refresh_->Set_Picture_Control(true);
    img_Refresh_->setGeometry(Form_W - 10 - 54, 8, 54, 54);
    Load_Picture(img_Refresh_, Picture_Path(parts_.G, Picture_Refresh));
    connect(img_Refresh_, &Touch_Label::clicked, this, [this] { Touch([&] { station_->Reload_Bath(); }); });

    // Ticked, the box drops every command to the counter: it is there only on a station started for
    // development, and while ticked the form says the counter is not driven.
    chk_debug_ = new QCheckBox("DEBUG", this);
    chk_debug_->setObjectName("chk_debug");
    chk_debug_->setAccessibleName("Debug mode");
    Set_Font(chk_debug_, "", "Arial", 8, true, white);
    chk_debug_->setStyleSheet(Finger_Check_Box_Style());
    chk_debug_->setGeometry(Form_W - 10 - 54 - 116, 14, 110, 42);
    chk_debug_->setVisible(false);
    lbl_Debug_ = Make_Label(this, "lbl_Debug", "Arial", 8, true, white);
    lbl_Debug_->setText("COUNTER NOT DRIVEN");
    lbl_Debug_->setAccessibleName("Debug: the counter is not driven");
    lbl_Debug_->setAlignment(Qt::AlignCenter);
    Fill(lbl_Debug_, QColor(0xE6, 0x00, 0x00));
    lbl_Debug_->setWordWrap(true);
    lbl_Debug_->setGeometry(Form_W - 10 - 54 - 116 - 104, 10, 100, 48);
    lbl_Debug_->setVisible(false);
    connect(chk_debug_, &QCheckBox::toggled, lbl_Debug_, &QWidget::setVisible);
}

void Form_Test::Allow_Debug(bool allowed) {
    if (!allowed) chk_debug_->setChecked(false);
    chk_debug_->setVisible(allowed);
}

void Form_Test::Build_Bath() {
    shp_Bath_ = new QFrame(this);
    shp_Bath_->setObjectName("shp_Bath");
    shp_Bath_->setFrameShape(QFrame::Box);
    shp_Bath_->setLineWidth(2);
    Fill(shp_Bath_, C(parts_.G.Colors.Color_Navy), C(parts_.G.Colors.Color_Steel));
    shp_Bath_->setGeometry(10, Bath_Top, Form_W - 20, Bath_Rows * Slot_H + 2 * Bath_Margin);
    const QColor white = C(parts_.G.Colors.Color_White);
    for (int i = 0; i < Bath_Slot_Count; ++i) {
        const QString n = QString::number(i);
        const int x = shp_Bath_->x() + Bath_Margin + Slot_Column(i) * Slot_W;
        const int y = shp_Bath_->y() + Bath_Margin + Slot_Row(i) * Slot_H;
        Slot_Widgets& s = slots_[size_t(i)];
        s.Picture = new Touch_Label("img_Bath_" + n, "", this);
        s.Picture->Set_Picture_Control(true);
        s.Picture->setGeometry(x, y + (Slot_H - Picture_H) / 2, Picture_W, Picture_H);
        s.Lab_Number = new Bath_Cell("lbl_LabNumber_" + n, "", this);
        s.Lab_Number->setGeometry(x + Cell_X, y + 6, Cell_W, 22);
        Set_Font(s.Lab_Number, "", "Arial", 11, true, white);
        s.State = new Bath_Cell("lbl_State_" + n, "", this);
        s.State->setGeometry(x + Cell_X, y + 31, Cell_W, 26);
        Set_Font(s.State, "", "Arial", 12, true, white);
        s.History = new Bath_Cell("lbl_History_" + n, "", this);
        s.History->setGeometry(x + Cell_X, y + 60, Cell_W, 22);
        Set_Font(s.History, "", "Arial", 10, true, white);
        s.Oldest = new Bath_Cell("lbl_Oldest_" + n, "", this);
        s.Oldest->setGeometry(x - 2, y + 2, Picture_W + 4, 15);
        Set_Font(s.Oldest, "", "Arial", 7, true, Qt::black);
        s.Oldest->Set("OLDEST", true, C(parts_.G.Colors.Color_Amber), Qt::black, Qt::AlignCenter);
        // The slot's cells are one touch area: a finger anywhere on the slot touches it.
        for (Touch_Label* t : {static_cast<Touch_Label*>(s.Picture), static_cast<Touch_Label*>(s.Lab_Number),
                               static_cast<Touch_Label*>(s.State), static_cast<Touch_Label*>(s.History),
                               static_cast<Touch_Label*>(s.Oldest)}) {
            t->setProperty("touch_area", "slot_" + n);
            connect(t, &Touch_Label::clicked, this, [this, i] { Touch([&] { station_->Slot_Touch(i); }); });
        }
    }
}

void Form_Test::Build_Results() {
    shp_Results_ = new QFrame(this);
    shp_Results_->setObjectName("shp_Results");
    shp_Results_->setFrameShape(QFrame::Box);
    Fill(shp_Results_, C(parts_.G.Colors.Color_Navy), C(parts_.G.Colors.Color_Steel));
    shp_Results_->setGeometry(10, Results_Top, Form_W - 20, 18 + Result_Table::Row_Count * Row_H + 4);
    const QColor white = C(parts_.G.Colors.Color_White);
    const int value_w = (Form_W - 20 - Run_Id_W - 8) / 8;
    const std::vector<std::string> captions = Result_Table::Captions();
    for (int c = 0; c < 8; ++c) {
        QLabel* l = Make_Label(this, "lbl_Caption_" + QString::number(c), Result_Caption_Font,
                               Result_Caption_Size, false, C(parts_.G.Colors.Color_Sky));
        l->setText(QString::fromStdString(c < int(captions.size()) ? captions[size_t(c)] : std::string()));
        l->setAlignment(Qt::AlignCenter);
        l->setGeometry(14 + Run_Id_W + c * value_w, Results_Top + 2, value_w, 16);
        lbl_Caption_[size_t(c)] = l;
    }
    for (int r = 0; r < Result_Table::Row_Count; ++r) {
        const int y = Results_Top + 18 + r * Row_H;
        // The newest count stands out; the older ones recede.
        const QColor ink = r == 0 ? white : white.darker(125);
        QLabel* id = Make_Label(this, "lbl_RunId_" + QString::number(r), "Arial", 10, true, ink);
        id->setGeometry(16, y, Run_Id_W - 4, Row_H);
        lbl_RunId_[size_t(r)] = id;
        for (int c = 0; c < 8; ++c) {
            QLabel* v = Make_Label(this, QString("lbl_Value_%1_%2").arg(r).arg(c), "Arial", 10, r == 0,
                                   c == 0 ? C(parts_.G.Colors.Color_Amber) : ink);
            v->setAlignment(Qt::AlignCenter);
            v->setGeometry(14 + Run_Id_W + c * value_w, y, value_w, Row_H);
            lbl_Value_[size_t(r)][size_t(c)] = v;
        }
        if (r == 0) {
            auto* band = new QFrame(this);
            band->setObjectName("shp_LastResult");
            Fill(band, C(parts_.G.Colors.Color_Steel));
            band->setGeometry(12, y, Form_W - 24, Row_H);
            band->stackUnder(id);
        }
    }
}

void Form_Test::Draw_Slot(int i) {
    const Bath_Slot& b = station_->Slots[size_t(i)];
    Slot_Widgets& s = slots_[size_t(i)];
    const QColor white = C(parts_.G.Colors.Color_White);
    if (s.Drawn_Picture != b.Picture) {
        s.Drawn_Picture = b.Picture;
        s.Picture->Set_Picture(Cached_Picture(b.Picture));
    }
    s.Lab_Number->Set(b.Lab_Number, false, QColor(), white, Qt::AlignLeft | Qt::AlignVCenter);
    s.State->Set(b.State_Text, b.State_Boxed && !b.Is_Free(), C(b.State_Back),
                 b.State_Boxed ? C(b.State_Fore) : white, Qt::AlignCenter);
    const bool boxed = b.History.Boxed && !b.History_Text.empty();
    s.History->Set(b.History_Text, boxed, C(b.History.Back), boxed ? QColor(Qt::black) : white,
                   boxed ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter));
    s.Oldest->setVisible(b.Oldest_Mark && !b.Is_Free());
    const QString name = QString::fromStdString(Slot_Accessible_Name(i, b));
    if (s.Picture->accessibleName() != name)
        for (Touch_Label* t : {static_cast<Touch_Label*>(s.Picture), static_cast<Touch_Label*>(s.Lab_Number),
                               static_cast<Touch_Label*>(s.State), static_cast<Touch_Label*>(s.History),
                               static_cast<Touch_Label*>(s.Oldest)})
            t->setAccessibleName(name);
}

void Form_Test::Draw() {
    for (int i = 0; i < Bath_Slot_Count; ++i)
        Draw_Slot(i);
    const auto& rows = station_->Results.Rows();
    for (int r = 0; r < Result_Table::Row_Count; ++r) {
        lbl_RunId_[size_t(r)]->setText(QString::fromStdString(rows[size_t(r)].Run_Id));
        for (int c = 0; c < 8; ++c)
            lbl_Value_[size_t(r)][size_t(c)]->setText(
                QString::fromStdString(rows[size_t(r)].Values[size_t(c)]));
    }
    const Rack_Header& h = station_->Header;
    lbl_RackName_->setText(QString::fromStdString(h.Rack_Name));
    lbl_RackName_->setAccessibleName("Open the rack view on rack " +
                                     QString::fromStdString(Trim(h.Rack_Name)));
    lbl_Countdown_->setText(QString::fromStdString(h.Countdown));
    lbl_Outstanding_->setText(QString::fromStdString(h.Outstanding));
    for (QWidget* w : {static_cast<QWidget*>(shp_RackName_), static_cast<QWidget*>(shp_Countdown_),
                       static_cast<QWidget*>(shp_Outstanding_), static_cast<QWidget*>(lbl_RackName_),
                       static_cast<QWidget*>(lbl_Countdown_), static_cast<QWidget*>(lbl_Countdown_Caption_),
                       static_cast<QWidget*>(lbl_Outstanding_Caption_)})
        w->setVisible(h.Visible);
    lbl_Outstanding_->setVisible(h.Visible && h.Outstanding_Visible);
}

void Form_Test::Load(const std::filesystem::path& app_folder) {
    station_->Load(chk_debug_->isChecked(), app_folder, parts_.G.Common_Folder);
    for (Slot_Widgets& s : slots_)
        s.Drawn_Picture = "\x01"; // pictures come from the folder the load settled on
    Load_Picture(img_Refresh_, Picture_Path(parts_.G, Picture_Refresh));
    Draw();
}

void Form_Test::closeEvent(QCloseEvent* e) {
    Touch([&] { station_->Unload(); });
    QWidget::closeEvent(e);
}

void Form_Test::Histogram_Changed() {
    pcgrid_->Redraw();
}

void Form_Test::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    Place_History_Window();
}

void Form_Test::Set_History_Home(QPoint home) {
    history_home_ = home;
    Place_History_Window();
}

void Form_Test::Place_History_Window() {
    if (history_placed_) return;
    if (history_home_) {
        pcgrid_->move(*history_home_);
        return;
    }
    const QScreen* s = screen();
    const QRect area = s ? s->availableGeometry() : QRect(QPoint(0, 0), size());
    const QSize h = pcgrid_->frameGeometry().size();
    const int left =
        std::clamp(x() - h.width(), area.left(), std::max(area.left(), area.right() + 1 - h.width()));
    const int top = std::max(area.top(), area.bottom() + 1 - h.height());
    pcgrid_->move(left, top);
}

void Form_Test::Show_History_Window() {
    Place_History_Window();
    pcgrid_->show();
    pcgrid_->raise();
}

void Form_Test::Hide_History_Window() {
    pcgrid_->hide();
}

Window_Place Form_Test::History_Window_Place() const {
    return {pcgrid_->y(), pcgrid_->x()};
}

void Form_Test::Move_History_Window(const Window_Place& place) {
    history_placed_ = true;
    pcgrid_->move(place.Left, place.Top);
}

void Form_Test::Open_Rack_View(const std::string& rack_desc) {
    emit Rack_Requested(rack_desc);
}

void Form_Test::Bath_Timer_Enabled(bool enabled) {
    if (enabled)
        bath_timer_->start();
    else
        bath_timer_->stop();
}

bool Form_Test::Counter_Driven() const {
    return !chk_debug_->isChecked();
}

Panel_Outcome Form_Test::Show_Action_Panel(const Run& run, int16_t sIndex) {
    // One port, one panel at a time: the last panel's port is closed before the next one opens it.
    Close_Last_Panel();
    auto form = std::make_unique<form_Action>(parts_.G, parts_.Time, parts_.Alerts, parts_.Counter_Port,
                                              parts_.Result, parts_.Current_Rack.Settings,
                                              static_cast<Panel_Host*>(this), this);
    form->Panel().Set_Run(run, sIndex);
    action_ = form.get();
    form->exec();
    action_ = nullptr;
    Panel_Outcome out{form->Panel().Action, form->Panel().Bffr(), form->Panel().Dilution_Chosen,
                      form->Panel().Report_Count_Id};
    // Unloaded for the station at once; the port is closed right after the count has been processed and
    // drawn, since closing a serial port can take longer than drawing the count.
    form->Release_Station();
    last_panel_ = std::move(form);
    QTimer::singleShot(0, this, [this] { Close_Last_Panel(); });
    return out;
}

void Form_Test::Close_Last_Panel() noexcept {
    if (!last_panel_) return;
    last_panel_->Unload();
    last_panel_.reset();
}

} // namespace pcs::ui
