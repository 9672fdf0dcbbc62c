#include "ui/form_search.h"

#include "ui/artwork.h"
#include "ui/fonts.h"
#include "ui/guarded.h"
#include "ui/panel.h"
#include "ui/pictures.h"
#include "ui/rack_artwork.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

namespace pcs::ui {

Form_Search::Form_Search(Globals& g, const Clock& clock, Rack& rack, Alert_Port& alerts, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), g_(g), alerts_(alerts),
      search_(g, clock, rack, alerts, static_cast<Search_View&>(*this)) {
    setObjectName("Form_Search");
    setModal(true);
    Build();
}

Form_Search::~Form_Search() {
    Unload();
}

template <class F> void Form_Search::Touch(F&& f) {
    Guarded(alerts_, std::forward<F>(f));
    if (!search_.Hidden) Draw();
}

void Form_Search::Build() {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, To_QColor(g_.Colors.Color_White));
    setPalette(pal);
    // Design sizes in pixels at 96 dpi, scaled with the screen.
    auto px = [this](int pixels) { return Px(pixels * 15, this); };

    lst_os_ = new QListWidget(this);
    lst_os_->setObjectName("lst_os");
    lst_os_->setAccessibleName("Outstanding racks");
    lst_os_->setFocusPolicy(Qt::NoFocus);
    // A finger cannot work a sideways scroll bar: a long rack name ends in "..." instead.
    lst_os_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lst_os_->setTextElideMode(Qt::ElideRight);
    lst_os_->setGeometry(px(10), px(10), px(300), px(300));
    lst_os_->setFont(Station_Font("Eurostile", 22, true));
    lst_os_->setStyleSheet(QString("QListWidget { background: %1; color: %2; border: 2px solid %3; }"
                                   "QListWidget::item:selected { background: %2; color: %1; }")
                               .arg(To_QColor(g_.Colors.Color_Ink).name(),
                                    To_QColor(g_.Colors.Color_Amber).name(),
                                    To_QColor(g_.Colors.Color_Steel).name()));
    connect(lst_os_, &QListWidget::currentRowChanged, this, [this](int row) { search_.ListIndex = row; });
    connect(lst_os_, &QListWidget::itemDoubleClicked, this,
            [this] { Touch([&] { search_.lst_os_DblClick(); }); });

    auto* take = Make_Panel_Button(g_, "lbl_getRack", "TAKE RACK", this);
    take->setGeometry(px(10), px(318), px(146), px(48));
    connect(take, &Touch_Label::clicked, this, [this] { Touch([&] { search_.lbl_getRack_Click(); }); });
    auto* refresh = Make_Panel_Button(g_, "lbl_Refresh", "REFRESH", this);
    refresh->setGeometry(px(164), px(318), px(146), px(48));
    connect(refresh, &Touch_Label::clicked, this, [this] { Touch([&] { search_.lbl_Refresh_Click(); }); });

    txt_wo_ = new QLabel(this);
    txt_wo_->setObjectName("txt_wo");
    txt_wo_->setAccessibleName("Lab number");
    txt_wo_->setGeometry(px(325), px(10), px(294), px(50));
    txt_wo_->setAlignment(Qt::AlignCenter);
    txt_wo_->setFont(Station_Font("Eurostile", 26, true));
    txt_wo_->setStyleSheet(
        QString("QLabel { color: %1; background: white; border: 2px solid %2; }")
            .arg(To_QColor(g_.Colors.Color_Text).name(), To_QColor(g_.Colors.Color_Steel).name()));

    Image1_ = new QLabel(this);
    Image1_->setObjectName("Image1");
    Image1_->setGeometry(px(325), px(66), px(294), px(246));
    Image1_->setScaledContents(true);
    Load_Picture(Image1_, Picture_Path(g_, Picture_Keypad));

    // Keys 1 to 9 in three rows from the top, then CLEAR, 0 and GO.
    const int kw = px(88), kh = px(52), gap = px(7), left = px(325) + gap, top = px(66) + gap;
    auto place = [&](QWidget* w, int row, int col) {
        w->setGeometry(left + col * (kw + gap), top + row * (kh + gap), kw, kh);
    };
    for (int d = 0; d <= 9; ++d) {
        auto* key = new Touch_Label(QString("lbl_no_%1").arg(d), QString("Digit %1").arg(d), this);
        key->setText(QString::number(d));
        Set_Font(key, "", "Arial", 22, true, Qt::white);
        Load_Picture(key, Picture_Path(g_, Picture_Key_Cap));
        key->Set_Picture_Control(true);
        place(key, d == 0 ? 3 : (d - 1) / 3, d == 0 ? 1 : (d - 1) % 3);
        connect(key, &Touch_Label::clicked, this, [this, d] { Touch([&] { search_.lbl_no_Click(d); }); });
        lbl_no_[d] = key;
    }
    auto* clear = new Touch_Label("lbl_Clear", "Clear the lab number", this);
    clear->setText("CLR");
    auto* go = new Touch_Label("lbl_Go", "Find the rack of the lab number", this);
    go->setText("GO");
    for (Touch_Label* k : {clear, go}) {
        Set_Font(k, "", "Arial", 18, true, To_QColor(g_.Colors.Color_Amber));
        Load_Picture(k, Picture_Path(g_, Picture_Key_Cap_Cmd));
        k->Set_Picture_Control(true);
    }
    place(clear, 3, 0);
    place(go, 3, 2);
    connect(clear, &Touch_Label::clicked, this, [this] { Touch([&] { search_.lbl_Clear_Click(); }); });
    connect(go, &Touch_Label::clicked, this, [this] { Touch([&] { search_.lbl_Go_Click(); }); });

    auto* exit = Make_Panel_Button(g_, "lbl_exit", "EXIT", this);
    exit->setGeometry(px(473), px(318), px(146), px(48));
    connect(exit, &Touch_Label::clicked, this, [this] { Touch([&] { search_.lbl_exit_Click(); }); });

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName("Timer1");
    Timer1_->setSingleShot(true);
    // To the millisecond: a coarse timer may fire up to 5 % early or late, which would blur what the
    // pick itself costs beside its fixed pause.
    Timer1_->setTimerType(Qt::PreciseTimer);
    Timer1_->setInterval(Auto_Pick_Interval_Ms);
    connect(Timer1_, &QTimer::timeout, this, [this] { Touch([&] { search_.Timer1_Timer(); }); });
}

void Form_Search::Draw() {
    // Picking by itself the dialog is never seen: its list is not worth filling.
    if (!search_.Working_Size) return;
    if (lst_os_->count() != static_cast<int>(search_.lst_os.size()) ||
        (lst_os_->count() > 0 && lst_os_->item(0)->text().toStdString() != search_.lst_os[0].Text)) {
        lst_os_->clear();
        for (const Search_Entry& e : search_.lst_os) {
            auto* item = new QListWidgetItem(QString::fromStdString(e.Text), lst_os_);
            item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(e.Item_Data));
        }
    }
    lst_os_->setCurrentRow(search_.ListIndex);
    txt_wo_->setText(QString::fromStdString(search_.txt_wo));
}

void Form_Search::Show_Modal() {
    Guarded(alerts_, [&] { search_.Form_Load(); });
    if (search_.Hidden) return;
    Draw();
    if (search_.Timer1_Enabled) {
        // Picking by itself: modal, so nothing else takes a touch meanwhile, but never seen.
        setWindowOpacity(0.0);
        setFixedSize(1, 1);
        if (QWidget* owner = parentWidget()) move(owner->mapToGlobal(QPoint(0, 0)));
        Timer1_->start();
    } else {
        setWindowOpacity(1.0);
        setFixedSize(Px(Search_Width_Twips, this), Px(Search_Height_Twips, this));
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
            move(owner->geometry().center() - rect().center());
        setFocus();
    }
    exec();
}

void Form_Search::Hide_Search() {
    Timer1_->stop();
    if (isVisible())
        done(QDialog::Accepted);
    else
        hide();
}

void Form_Search::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1_->stop();
    search_.Form_Unload();
}

void Form_Search::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Touch([&] { search_.Key_Press('\r'); });
        return;
    case Qt::Key_Backspace:
        Touch([&] { search_.Key_Press('\b'); });
        return;
    case Qt::Key_Escape:
        Touch([&] { search_.lbl_exit_Click(); });
        return;
    default:
        break;
    }
    const QString text = e->text();
    if (text.isEmpty()) return QDialog::keyPressEvent(e);
    for (QChar c : text) {
        // A character beyond plain ASCII is no digit either: it reaches the model as a refused key.
        const char k = c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?';
        Touch([&] { search_.Key_Press(k); });
    }
}

} // namespace pcs::ui
