#include "ui/form_header.h"

#include "ui/artwork.h"
#include "ui/fonts.h"
#include "ui/form_extras.h"
#include "ui/guarded.h"
#include "ui/pictures.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace pcs::ui {

namespace {
// Twips.
constexpr int Header_Height = 1440, Panel_Inset = 60, Icon_Size = 1020, Station_Gap = 180,
              Status_Width = 3600;
} // namespace

Form_Header::Form_Header(Globals& g, const Clock& clock, Employee& employee, Status_Port& status,
                         Alert_Port& alerts, Header_Actions& actions, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), g_(g), alerts_(alerts),
      bar_(g, clock, employee, status, *this, actions) {
    setObjectName("Form_Header");
    setAccessibleName("Header");
    QPalette p = palette();
    p.setColor(QPalette::Window, To_QColor(g_.Colors.Color_Slate));
    setPalette(p);
    setAutoFillBackground(true);

    shp_mainPanel_ = new QFrame(this);
    shp_mainPanel_->setObjectName("shp_mainPanel");
    const Color navy = g_.Colors.Color_Navy, steel = g_.Colors.Color_Steel;
    shp_mainPanel_->setStyleSheet(
        QString("QFrame#shp_mainPanel { background: rgb(%1,%2,%3); border: 1px solid "
                "rgb(%4,%5,%6); }")
            .arg(navy.R)
            .arg(navy.G)
            .arg(navy.B)
            .arg(steel.R)
            .arg(steel.G)
            .arg(steel.B));

    auto icon = [this](const char* name, const char* what, const char* picture) {
        auto* l = new Touch_Label(name, what, this);
        l->Set_Picture_Control(true);
        Load_Picture(l, Picture_Path(g_, picture));
        l->setFixedSize(Px(Icon_Size, this), Px(Icon_Size, this));
        return l;
    };
    img_Login_ = icon("img_Login", "Lock the station", Picture_Login_Icon);
    img_config_ = icon("img_config", "Toolbox", Picture_Config_Icon);
    img_iso_ = icon("img_iso", "Procedure document", Picture_Iso_Icon);
    lbl_UserDesc_ = new Touch_Label("lbl_UserDesc", "", this);
    lbl_UserDesc_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lbl_Station_ = new QLabel(this);
    lbl_Station_->setObjectName("lbl_Station");
    lbl_Status_ = new QLabel(this);
    lbl_Status_->setObjectName("lbl_Status");
    lbl_Status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbl_Status_->hide();

    Set_Font(lbl_UserDesc_, "", "Arial", 10, true, To_QColor(g_.Colors.Color_White));
    Set_Font(lbl_Station_, "", "Arial", 22, true, To_QColor(g_.Colors.Color_Amber));
    Set_Font(lbl_Status_, "", "Arial", 8, true, To_QColor(g_.Colors.Color_White));

    auto lock = [this] { Guarded(alerts_, [&] { bar_.img_Login_Click(); }); };
    connect(img_Login_, &Touch_Label::clicked, this, lock);
    connect(lbl_UserDesc_, &Touch_Label::clicked, this, lock);
    connect(img_config_, &Touch_Label::clicked, this,
            [this] { Guarded(alerts_, [&] { bar_.img_config_Click(); }); });
    connect(img_iso_, &Touch_Label::clicked, this,
            [this] { Guarded(alerts_, [&] { bar_.img_iso_Click(); }); });

    // Load: top left, the screen's width.
    const QScreen* s = screen();
    setGeometry(0, 0, s ? s->geometry().width() : 1280, Px(Header_Height, this));
    showStation();
    showUser();
    Lay_Out();
    Resize_Panel(static_cast<int16_t>(width() - 2 * Px(Panel_Inset, this)));
}

void Form_Header::Lay_Out() {
    const int inset = Px(Panel_Inset, this);
    shp_mainPanel_->setGeometry(inset, inset,
                                shp_mainPanel_->width() > 0 ? shp_mainPanel_->width() : width() - 2 * inset,
                                height() - 2 * inset);
    const QRect panel = shp_mainPanel_->geometry();
    // The lock icon centred in the panel's height; the station caption just right of it, the name under it.
    img_Login_->move(panel.left() + Px(120, this), panel.top() + (panel.height() - img_Login_->height()) / 2);
    const int text_left = img_Login_->geometry().right() + 1 + Px(Station_Gap, this);
    const int station_height = lbl_Station_->sizeHint().height();
    const int user_height = lbl_UserDesc_->sizeHint().height();
    const int top = panel.top() + (panel.height() - station_height - user_height) / 2;
    lbl_Station_->setGeometry(text_left, top, lbl_Station_->sizeHint().width(), station_height);
    // The name's touch (lock the station) takes the caption's height too, a finger high: the caption
    // lets touches through to the name under it.
    lbl_UserDesc_->setGeometry(
        text_left, top, std::max({lbl_UserDesc_->sizeHint().width(), lbl_Station_->width(), Px(3000, this)}),
        station_height + user_height);
    lbl_UserDesc_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    lbl_UserDesc_->stackUnder(lbl_Station_);
    lbl_Station_->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Form_Header::Resize_Panel(int16_t iWidth) {
    Header_Layout l;
    l.Panel_Left = shp_mainPanel_->x();
    l.Iso_Width = img_iso_->width();
    l.Config_Width = img_config_->width();
    l.Status_Width = Px(Status_Width, this);
    l = pcs::Resize_Panel(l, iWidth);
    shp_mainPanel_->resize(l.Panel_Width, shp_mainPanel_->height());
    const int icon_top = shp_mainPanel_->y() + (shp_mainPanel_->height() - img_iso_->height()) / 2;
    img_iso_->move(l.Iso_Left, icon_top);
    img_config_->move(l.Config_Left, icon_top);
    lbl_Status_->setGeometry(l.Status_Left, shp_mainPanel_->y(), l.Status_Width, shp_mainPanel_->height());
}

void Form_Header::showUser() {
    bar_.showUser();
    lbl_UserDesc_->setText(QString::fromStdString(bar_.User_Desc));
    lbl_UserDesc_->setAccessibleName(lbl_UserDesc_->text());
    Lay_Out();
}

void Form_Header::showStation() {
    bar_.showStation();
    lbl_Station_->setText(QString::fromStdString(bar_.Station));
    lbl_Station_->setAccessibleName(lbl_Station_->text());
    Lay_Out();
}

std::string Form_Header::Show_Toolbox() {
    if (!Timer) return std::string();
    Form_Extras toolbox(g_, *Timer, this);
    toolbox.exec();
    return toolbox.Action();
}

void Form_Header::Process_Events() {
    // Waits a little with the event loop running, so the held message neither freezes nor spins.
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

void Form_Header::Show_Document(const std::string& test_code) {
    emit Document_Requested(test_code);
}

} // namespace pcs::ui
