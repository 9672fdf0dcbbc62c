#include "ui/form_action.h"

#include "common/text.h"
#include "ui/fonts.h"
#include "ui/guarded.h"
#include "ui/pictures.h"
#include "ui/station_artwork.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace pcs::ui {

namespace {

// In pixels at 96 dpi, at the layout's scale 1.
constexpr int Margin_Px = 12;
constexpr int Tile_Top_Px = 66;
constexpr int Tile_Gap_Px = 8;
constexpr int Button_W_Px = 240, Button_H_Px = 72; // the run and close pictures' own size
constexpr int Dilution_W_Px = 270;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

Touch_Label* Make_Touch(const QString& name, const QString& accessible, QWidget* parent) {
    auto* l = new Touch_Label(name, accessible, parent);
    l->setWordWrap(true);
    return l;
}

} // namespace

form_Action::form_Action(Globals& g, const Clock& clock, Alert_Port& alerts, Serial_Port& port,
                         Sample_Remover& remover, const Settings_Collection& settings, Panel_Host* host,
                         QWidget* parent)
    : Framed_Panel(parent), g_(g), alerts_(alerts), settings_(settings),
      panel_(g, clock, alerts, port, remover, *this, host) {
    setObjectName("form_Action");
    setAccessibleName("Particle count tasks");
    setModal(true);
    const QColor white = To_QColor(g_.Colors.Color_White);

    lbl_Title_ = new QLabel(this);
    lbl_Title_->setObjectName("lbl_Title");
    Set_Font(lbl_Title_, Action_Title, "Arial", 14, true, To_QColor(g_.Colors.Color_Amber));
    lbl_LabNumber_ = new QLabel(this);
    lbl_LabNumber_->setObjectName("lbl_LabNumber");
    lbl_LabNumber_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Set_Font(lbl_LabNumber_, "", "Arial", 14, true, white);
    lbl_Prompt_ = new QLabel(this);
    lbl_Prompt_->setObjectName("lbl_Prompt");
    Set_Font(lbl_Prompt_, Action_Prompt, "Arial", 8, true, white);

    for (int i = 0; i < 5; ++i) {
        const Action_Reason& r = Action_Reasons[size_t(i)];
        const QString word = Q(UCase(r.Action_Word)), reason = Q(UCase(r.Reason_Text)).trimmed();
        const QString n = QString::number(i);
        img_action_[size_t(i)] = Make_Touch("img_action_" + n, word + ": " + reason, this);
        Load_Picture(img_action_[size_t(i)], Picture_Path(g_, Picture_Reason_Tile[size_t(i)]));
        img_action_[size_t(i)]->Set_Picture_Control(true);
        lbl_action_[size_t(i)] = Make_Touch("lbl_action_" + n, word, this);
        Set_Font(lbl_action_[size_t(i)], word.toStdString(), "Arial", 8, true, white);
        lbl_action_desc_[size_t(i)] = Make_Touch("lbl_action_desc_" + n, reason, this);
        Set_Font(lbl_action_desc_[size_t(i)], reason.toStdString(), "Arial", 8, true, white);
        lbl_action_desc_[size_t(i)]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        for (Touch_Label* t : {img_action_[size_t(i)], lbl_action_[size_t(i)], lbl_action_desc_[size_t(i)]})
            connect(t, &Touch_Label::clicked, this, [this, i] { Touch([&] { panel_.Reason_Click(i); }); });
    }
    const QString remove = Q(UCase(Remove_From_Bath_Text));
    img_Remove_ = Make_Touch("img_Remove", remove, this);
    Load_Picture(img_Remove_, Picture_Path(g_, Picture_Remove_From_Bath));
    img_Remove_->Set_Picture_Control(true);
    lbl_Remove_ = Make_Touch("lbl_Remove", remove, this);
    Set_Font(lbl_Remove_, remove.toStdString(), "Arial", 8, true, white);
    for (Touch_Label* t : {img_Remove_, lbl_Remove_})
        connect(t, &Touch_Label::clicked, this, [this] { Touch([&] { panel_.Remove_From_Bath_Click(); }); });

    const char* views[] = {"Bottom view of the sample", "Colour view of the sample"};
    for (int i = 0; i < 2; ++i) {
        img_sample_[size_t(i)] = new QLabel(this);
        img_sample_[size_t(i)]->setObjectName("img_sample_" + QString::number(i));
        img_sample_[size_t(i)]->setAccessibleName(views[i]);
        img_sample_[size_t(i)]->setScaledContents(true);
    }

    lbl_Banner_ = new QLabel(this);
    lbl_Banner_->setObjectName("lbl_Banner");
    lbl_Banner_->setAlignment(Qt::AlignCenter);
    lbl_Banner_->setAutoFillBackground(true);
    {
        QPalette p = lbl_Banner_->palette();
        p.setColor(QPalette::Window, Rgb_To_QColor(Action_Panel_Back_Rgb));
        lbl_Banner_->setPalette(p);
    }
    Set_Font(lbl_Banner_, "", "Arial", 35, true, white);

    shpDilution_ = new QFrame(this);
    shpDilution_->setObjectName("shpDilution");
    shpDilution_->setAutoFillBackground(true);
    lblDilution_ = Make_Touch("lblDilution", "", this);
    Set_Font(lblDilution_, "", "Eurostile", 12, true, white);
    connect(lblDilution_, &Touch_Label::clicked, this, [this] { Touch([&] { panel_.Dilution_Click(); }); });

    for (int i = 0; i < 3; ++i) {
        imgCounter_[size_t(i)] = new QLabel(this);
        imgCounter_[size_t(i)]->setObjectName("imgCounter_" + QString::number(i));
        imgCounter_[size_t(i)]->hide();
        Load_Picture(imgCounter_[size_t(i)], Picture_Path(g_, Picture_Run_Button[size_t(i)]));
    }
    img_RunSample_ = Make_Touch("img_RunSample", "Start the count", this);
    img_RunSample_->Set_Picture_Control(true);
    connect(img_RunSample_, &Touch_Label::clicked, this,
            [this] { Touch([&] { panel_.Run_Button_Click(); }); });
    img_Close_ = Make_Touch("img_Close", "Close", this);
    Load_Picture(img_Close_, Picture_Path(g_, Picture_Close));
    img_Close_->Set_Picture_Control(true);
    connect(img_Close_, &Touch_Label::clicked, this, [this] { Touch([&] { panel_.Close_Click(); }); });

    setFixedWidth(Px(Action_Panel_Width_Twips, this));
    Lay_Out();
}

form_Action::~form_Action() {
    panel_.Unload();
}

template <class F> void form_Action::Touch(F&& f) {
    Guarded(alerts_, std::forward<F>(f));
}

void form_Action::reject() {
    Touch([&] { panel_.Close_Click(); });
}

void form_Action::showEvent(QShowEvent* e) {
    if (!panel_.Loaded()) {
        // The load opens the port and may tell the technician the counter does not answer; the
        // panel still comes up so it can be closed.
        loading_ = true;
        Touch([&] { panel_.Load(settings_); });
        loading_ = false;
        Lay_Out();
        Refresh();
        Centre_On_Owner();
    }
    Framed_Panel::showEvent(e);
}

void form_Action::Hide_Panel() {
    // A modal show that has not started its loop yet must not be ended before it starts.
    if (loading_) {
        QMetaObject::invokeMethod(
            this, [this] { done(Accepted); }, Qt::QueuedConnection);
        return;
    }
    done(Accepted);
}

void form_Action::Show_Sample_Picture(int box, bool exists, const std::filesystem::path& path) {
    QLabel* l = img_sample_[size_t(box)];
    l->clear();
    l->setFrameShape(QFrame::NoFrame);
    // A missing or unreadable picture leaves the box empty; never a message.
    if (exists) Load_Picture(l, path);
}

void form_Action::Lay_Out() {
    const int W = width();
    // Designed in pixels at 96 dpi: drawn at the layout's scale, as the panel's width is.
    const auto d = [](int pixels) { return Design_Px(pixels); };
    const int Margin = d(Margin_Px), Tile_Top = d(Tile_Top_Px), Tile_Gap = d(Tile_Gap_Px);
    const int Button_W = d(Button_W_Px), Button_H = d(Button_H_Px), Dilution_W = d(Dilution_W_Px);
    const bool sample = panel_.Layout == Action_Layout::Sample;
    lbl_Title_->setGeometry(Margin + d(4), d(10), W / 2, d(30));
    lbl_LabNumber_->setGeometry(W / 2 - Margin - d(4), d(10), W / 2, d(30));
    lbl_LabNumber_->setText(Q(Lab_Number_Line(panel_.sLabNumber)));
    lbl_Prompt_->setGeometry(Margin + d(4), d(44), W - 2 * Margin, d(18));

    const int col = (W - 2 * Margin - 5 * Tile_Gap) / 6;
    for (int i = 0; i < 6; ++i) {
        const int x = Margin + i * (col + Tile_Gap);
        Touch_Label* pic = i < 5 ? img_action_[size_t(i)] : img_Remove_;
        Touch_Label* word = i < 5 ? lbl_action_[size_t(i)] : lbl_Remove_;
        pic->setGeometry(x + (col - d(120)) / 2, Tile_Top, d(120), d(80));
        word->setGeometry(x, Tile_Top + d(82), col, d(18));
        word->setAlignment(Qt::AlignCenter);
        if (i < 5) lbl_action_desc_[size_t(i)]->setGeometry(x, Tile_Top + d(100), col, d(60));
    }
    for (QWidget* w : {static_cast<QWidget*>(lbl_Prompt_), static_cast<QWidget*>(img_Remove_),
                       static_cast<QWidget*>(lbl_Remove_)})
        w->setVisible(sample);
    for (int i = 0; i < 5; ++i)
        for (QWidget* w : {img_action_[size_t(i)], lbl_action_[size_t(i)], lbl_action_desc_[size_t(i)]})
            w->setVisible(sample);

    const int pic_w = Px(4800, this), pic_h = Px(3600, this);
    const int pic_top = Tile_Top + d(166);
    const int pic_left = (W - 2 * pic_w - d(16)) / 2;
    int run_top = 0, height = 0;
    if (sample) {
        lbl_Banner_->hide();
        Show_Sample_Picture(0, panel_.Pictures.Bottom_Exists, panel_.Pictures.Bottom);
        Show_Sample_Picture(1, panel_.Pictures.Colour_Exists, panel_.Pictures.Colour);
        for (int i = 0; i < 2; ++i) {
            img_sample_[size_t(i)]->setGeometry(pic_left + i * (pic_w + d(16)), pic_top, pic_w, pic_h);
            img_sample_[size_t(i)]->show();
        }
        // Lifted by 10 pixels from the row under the pictures; up into the pictures' row when there
        // are none to show.
        run_top = panel_.Pictures.Buttons_Move_Up() ? pic_top : pic_top + pic_h + d(22 - 10);
        height = run_top + int(Button_H * 1.1);
    } else {
        for (QLabel* l : img_sample_)
            l->hide();
        const int inset = Px(30, this);
        lbl_Banner_->setGeometry(inset, inset, W - Px(120, this), Px(1600, this));
        lbl_Banner_->setText(Q(panel_.Banner));
        lbl_Banner_->setAccessibleName(lbl_Banner_->text());
        lbl_Banner_->show();
        lbl_Banner_->raise();
        const int banner_bottom = lbl_Banner_->geometry().bottom() + 1;
        run_top = banner_bottom + int(Button_H * 0.1);
        height = banner_bottom + int(Button_H * 1.3);
    }
    img_RunSample_->setGeometry(Margin + d(4), run_top, Button_W, Button_H);
    img_Close_->setGeometry(Margin + d(4) + Button_W + d(16), run_top, Button_W, Button_H);
    shpDilution_->setGeometry(W - Margin - d(4) - Dilution_W, run_top, Dilution_W, Button_H);
    lblDilution_->setGeometry(shpDilution_->geometry());
    lblDilution_->raise();
    setFixedHeight(height);
}

void form_Action::Refresh() {
    const Counter_Link& link = panel_.Link;
    const int look = std::clamp(link.Run_Button_Image, 0, 2);
    img_RunSample_->Set_Picture(imgCounter_[size_t(look)]->pixmap());
    img_RunSample_->setProperty("Tag", Q(link.Run_Button_Tag));
    img_RunSample_->setAccessibleName(link.Run_Button_Tag == Run_Button_Tag_Counting ? "Stop the count"
                                      : link.Run_Button_Tag.empty()                  ? "Counter not ready"
                                                                                     : "Start the count");
    img_Close_->setVisible(panel_.Close_Visible);

    shpDilution_->setVisible(panel_.Dilution_Visible);
    lblDilution_->setVisible(panel_.Dilution_Visible);
    const Dilution_Look& d = panel_.Dilution;
    QPalette p = shpDilution_->palette();
    p.setColor(QPalette::Window, Rgb_To_QColor(d.Shape_Rgb));
    shpDilution_->setPalette(p);
    lblDilution_->setText(Q(d.Caption));
    lblDilution_->setAccessibleName(Q(d.Caption).replace('\n', ", "));
    lblDilution_->setProperty("Tag", Q(d.Tag));
}

void form_Action::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Rgb_To_QColor(Action_Panel_Back_Rgb));
    // The main panel shape in navy with a white border, and the inner frame 3 pixels smaller.
    p.setPen(To_QColor(g_.Colors.Color_White));
    p.setBrush(To_QColor(g_.Colors.Color_Navy));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, width() - 3, height() - 3));
}

} // namespace pcs::ui
