#include "ui/form_rack.h"

#include "ui/fonts.h"
#include "ui/form_search.h"
#include "ui/guarded.h"
#include "ui/pictures.h"
#include "ui/rack_artwork.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace pcs::ui {

// A shape of the design: a fill (when opaque) and a border.
class Rack_Cell : public QWidget {
public:
    Rack_Cell(const QString& name, QWidget* parent) : QWidget(parent) {
        setObjectName(name);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void Set(QColor back, QColor border, bool opaque, int border_px) {
        if (back == back_ && border == border_ && opaque == opaque_ && border_px == border_px_) return;
        back_ = back;
        border_ = border;
        opaque_ = opaque;
        border_px_ = border_px;
        update();
    }
    QColor Back() const { return back_; }
    QColor Border() const { return border_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (opaque_) p.fillRect(rect(), back_);
        if (border_px_ <= 0) return;
        p.setPen(QPen(border_, border_px_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        const double h = border_px_ / 2.0;
        p.drawRect(QRectF(rect()).adjusted(h, h, -h, -h));
    }

private:
    QColor back_, border_;
    bool opaque_ = false;
    int border_px_ = 1;
};

namespace {

constexpr int Cell_Border_Px = 3;

void Set_Picture(Touch_Label* l, const Globals& g, const std::string& name) {
    const QPixmap& p = Cached_Picture(Picture_Path(g, name));
    if (!p.isNull() && p.cacheKey() != l->Picture().cacheKey()) l->Set_Picture(p);
}

void Set_Colour(QWidget* w, QColor c) {
    if (w->palette().color(QPalette::WindowText) == c) return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}

void Set_Text(QLabel* l, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (l->text() != t) l->setText(t);
}

QLabel* Make_Label(QWidget* parent, const QString& name, const QString& accessible) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setAccessibleName(accessible);
    return l;
}

} // namespace

Form_Rack::Form_Rack(const Form_Rack_Parts& parts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), p_(parts),
      view_(parts.G, parts.Time, parts.Current_Rack, parts.Technician, parts.Status, parts.Alerts,
            parts.Main_Form, static_cast<Search_Port&>(*this), parts.App) {
    setObjectName("Form_Rack");
    setAccessibleName("Rack view");
    Build();
    Prepare_Search();
}

Form_Rack::~Form_Rack() {
    Unload();
    for (const QPointer<QWidget>& w : owned_)
        if (w) w->setParent(nullptr);
}

template <class F> void Form_Rack::Touch(F&& f) {
    Guarded(p_.Alerts, std::forward<F>(f));
    Draw();
}

void Form_Rack::Build() {
    const Globals& g = p_.G;
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, To_QColor(g.Colors.Color_Slate));
    setPalette(pal);

    // Made in this order so that each one stacks over the ones before it.
    ui_.shp_rackPanel = new Rack_Cell("shp_rackPanel", this);
    ui_.shp_holder = new Rack_Cell("shp_holder_0", this);
    for (int i = 0; i < Rack_Cells; ++i)
        ui_.Cells[i].shp_sample = new Rack_Cell(QString("shp_sample_%1").arg(i), this);
    const std::array<const char*, 3> status_kinds = {"img_sample_status_screen", "img_sample_status_water",
                                                     "img_sample_status_picture"};
    for (int i = 0; i < Rack_Cells; ++i) {
        Cell_Widgets& cell = ui_.Cells[i];
        cell.lbl_sample =
            new Touch_Label(QString("lbl_sample_%1").arg(i), QString("Rack position %1").arg(i + 1), this);
        cell.lbl_sample->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        connect(cell.lbl_sample, &Touch_Label::clicked, this,
                [this, i] { Touch([&] { view_.lbl_sample_Click(i); }); });
        cell.lbl_Info = Make_Label(this, QString("lbl_Info_%1").arg(i), "");
        cell.lbl_Result = Make_Label(this, QString("lbl_Result_%1").arg(i), "");
        for (QLabel* l : {cell.lbl_Info, cell.lbl_Result}) {
            l->setAlignment(Qt::AlignCenter);
            l->setAttribute(Qt::WA_TransparentForMouseEvents); // the cell's own touch takes it
        }
        for (size_t k = 0; k < status_kinds.size(); ++k) {
            auto* pic =
                new Touch_Label(QString("%1_%2").arg(status_kinds[k]).arg(i), "Screening progress", this);
            connect(pic, &Touch_Label::clicked, this,
                    [this, i] { Touch([&] { view_.lbl_sample_Click(i); }); });
            pic->hide();
            cell.img_sample_status[k] = pic;
        }
    }

    ui_.lbl_rackDesc = Make_Label(this, "lbl_rackDesc", "Rack name");
    ui_.lbl_RackDate = Make_Label(this, "lbl_RackDate", "Rack date");
    ui_.lbl_RackDate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui_.lbl_RackStatus = Make_Label(this, "lbl_RackStatus", "Rack status");
    ui_.lbl_ActiveWo = Make_Label(this, "lbl_ActiveWo", "Active work order");
    ui_.lbl_ActiveWo->hide();
    ui_.img_ptr = Make_Label(this, "img_ptr", "Rack loaded");
    ui_.img_ptr->setScaledContents(true);

    const std::array<QString, 3> nav_names = {"Previous rack", "Next rack", "Find a rack"};
    for (int i = 0; i < 3; ++i) {
        ui_.bttn_Nav[i] = new Touch_Label(QString("bttn_Nav_%1").arg(i), nav_names[i], this);
        ui_.bttn_Nav[i]->Set_Picture_Control(true);
        connect(ui_.bttn_Nav[i], &Touch_Label::clicked, this,
                [this, i] { Touch([&] { view_.bttn_Nav_Click(i); }); });
    }
    ui_.img_Priority = new Touch_Label("img_Priority", "Find all outstanding racks", this);
    ui_.img_Priority->setToolTip("Find all outstanding racks");
    ui_.img_Priority->Set_Picture_Control(true);
    connect(ui_.img_Priority, &Touch_Label::clicked, this,
            [this] { Touch([&] { view_.img_Priority_Click(); }); });
    const std::array<QString, 4> tips = {
        "Find racks containing retests", "Find racks containing rush samples",
        "Find racks containing urgent (samples older than 48hours) samples",
        "Find racks containing critical (samples that have a severe result) samples"};
    for (int b = 0; b < 4; ++b) {
        const QString name = "img_" + QString(Priority_Tags[b]).toLower();
        ui_.Priority[b] = new Touch_Label(name, tips[b], this);
        ui_.Priority[b]->setToolTip(tips[b]);
        ui_.Priority[b]->Set_Picture_Control(true);
        ui_.Priority[b]->hide();
        connect(ui_.Priority[b], &Touch_Label::clicked, this,
                [this, b] { Touch([&] { view_.Priority_Click(b); }); });
    }
    ui_.img_save = new Touch_Label("img_save", "Save edited results", this);
    ui_.img_save->Set_Picture_Control(true);
    connect(ui_.img_save, &Touch_Label::clicked, this, [this] { Touch([&] { view_.img_save_Click(); }); });
    ui_.img_Exit = new Touch_Label("img_Exit", "Leave the program", this);
    ui_.img_Exit->Set_Picture_Control(true);
    connect(ui_.img_Exit, &Touch_Label::clicked, this, [this] { Touch([&] { view_.img_Exit_Click(); }); });
    ui_.lbl_Exit = new Touch_Label("lbl_Exit", "EXIT", this);
    ui_.lbl_Exit->setText("EXIT");
    ui_.lbl_Exit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(ui_.lbl_Exit, &Touch_Label::clicked, this, [this] { Touch([&] { view_.lbl_Exit_Click(); }); });

    // Fonts and pictures that never change.
    Set_Font(ui_.lbl_RackStatus, "", "Eurostile", 12, false, To_QColor(g.Colors.Color_Amber));
    // The designed grey (#5B656E) all but vanishes on the navy panel at arm's length: sky blue instead.
    Set_Font(ui_.lbl_RackDate, "", "Eurostile", 11, true, To_QColor(g.Colors.Color_Sky));
    Set_Font(ui_.lbl_ActiveWo, "", "Eurostile", 18, true, To_QColor(g.Colors.Color_Amber));
    Set_Font(ui_.lbl_Exit, "", "Eurostile", 16, true, To_QColor(g.Colors.Color_Amber));
    for (int i = 0; i < 3; ++i)
        Set_Picture(ui_.bttn_Nav[i], g, Picture_Nav[i]);
    Set_Picture(ui_.img_Priority, g, Picture_All_Racks);
    Set_Picture(ui_.img_Exit, g, Picture_Exit);
    ui_.img_ptr->setPixmap(Cached_Picture(Picture_Path(g, Picture_Pointer)));

    // The sizes the layout starts from, in twips on this screen.
    const int tpp = static_cast<int>(std::lround(Twips_Per_Inch / Logical_Dpi(this)));
    Rack_Metrics& m = view_.Metrics;
    m.Twips_X = m.Twips_Y = tpp;
    m.Panel_Left = 10 * tpp;
    m.Nav_Width = 64 * tpp;
    m.Nav_Height = 48 * tpp;
    m.Priority_Width = 104 * tpp;
    m.Priority_Height = 48 * tpp;
    m.Desc_Height = 32 * tpp;
    m.Status_Height = m.Date_Height = 24 * tpp;
    m.Status_Width = 250 * tpp;
    m.Date_Width = 180 * tpp;
    m.Info_Height = 16 * tpp;
    m.Result_Height = 18 * tpp;
    m.Cell_Border_Px = Cell_Border_Px;
    m.Status_Picture_Size = 14 * tpp;
    m.Save_Width = 150 * tpp;
    m.Save_Height = 56 * tpp;
    m.Exit_Width = m.Exit_Height = 56 * tpp;
    m.Exit_Label_Width = 90 * tpp;
    m.Exit_Label_Height = 44 * tpp; // a touch control: its short side stays a finger wide when scaled
    m.Pointer_Width = m.Pointer_Height = 16 * tpp;
}

void Form_Rack::Own_Window(QWidget* w) {
    if (!w) return;
    w->setParent(this, w->windowFlags() | Qt::Window);
    owned_.push_back(w);
}

void Form_Rack::Load() {
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) setGeometry(s->geometry());
    Guarded(p_.Alerts, [&] { view_.Form_Load(); });
    Set_Font(ui_.lbl_rackDesc, "", "Arial Black", static_cast<int16_t>(Header_Station_Font_Size - 2), false,
             To_QColor(p_.G.Colors.Color_Amber));
    // No free twin of Arial Black: the heaviest weight of its substitute reads the same at a distance.
    QFont f = ui_.lbl_rackDesc->font();
    f.setFamily("Arial");
    f.setWeight(QFont::Black);
    ui_.lbl_rackDesc->setFont(f);
    Place();
    Draw();
    for (const QPointer<QWidget>& w : owned_) {
        if (!w) continue;
        w->show();
        w->raise();
    }
}

void Form_Rack::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    view_.Form_Unload();
}

void Form_Rack::Get_Racks(int Index, const std::string& sRackName) {
    Touch([&] { view_.Get_Racks(Index, sRackName); });
}

void Form_Rack::Resize_Rack(int iOffsetX, int iOffsetY) {
    view_.Resize_Rack(iOffsetX, iOffsetY);
    Place();
    Draw();
}

void Form_Rack::Save_bttn_toggle(bool isOn) {
    view_.Save_bttn_toggle(isOn);
    Draw();
}

void Form_Rack::Place() {
    auto px = [this](const Twips_Rect& r) {
        return QRect(Px(r.Left, this), Px(r.Top, this), Px(r.Width, this), Px(r.Height, this));
    };
    const Rack_Layout& l = view_.Layout;
    ui_.shp_rackPanel->setGeometry(px(l.Panel));
    ui_.shp_holder->setGeometry(px(l.Holder));
    const QFont info_font = Station_Font("Arial", 9, true), result_font = Station_Font("Arial", 11, true);
    for (int i = 0; i < Rack_Cells; ++i) {
        const Cell_Layout& c = l.Cells[i];
        Cell_Widgets& w = ui_.Cells[i];
        w.shp_sample->setGeometry(px(c.Cell));
        w.lbl_sample->setGeometry(px(c.Cell));
        w.lbl_Info->setGeometry(px(c.Info));
        w.lbl_Result->setGeometry(px(c.Result));
        w.img_sample_status[0]->setGeometry(px(c.Screen));
        w.img_sample_status[1]->setGeometry(px(c.Water));
        w.img_sample_status[2]->setGeometry(px(c.Picture));
        w.lbl_Info->setFont(info_font);
        w.lbl_Result->setFont(result_font);
    }
    for (int i = 0; i < 3; ++i)
        ui_.bttn_Nav[i]->setGeometry(px(l.Nav[i]));
    ui_.lbl_rackDesc->setGeometry(px(l.Rack_Desc));
    ui_.lbl_RackStatus->setGeometry(px(l.Rack_Status));
    ui_.lbl_RackDate->setGeometry(px(l.Rack_Date));
    ui_.img_ptr->setGeometry(px(l.Pointer));
    ui_.img_Priority->setGeometry(px(l.Priority));
    ui_.img_save->setGeometry(px(l.Save));
    ui_.img_Exit->setGeometry(px(l.Exit));
    ui_.lbl_Exit->setGeometry(px(l.Exit_Label));
}

void Form_Rack::Draw() {
    const Globals& g = p_.G;
    const Rack_Layout& l = view_.Layout;
    ui_.shp_rackPanel->Set(To_QColor(g.Colors.Color_Navy), To_QColor(g.Colors.Color_Steel), true, 1);
    ui_.shp_holder->Set(To_QColor(g.Colors.Color_Steel_2), To_QColor(g.Colors.Holder_Rim), true, 1);
    for (int i = 0; i < Rack_Cells; ++i) {
        const Cell_Look& c = view_.Cells[i];
        Cell_Widgets& w = ui_.Cells[i];
        w.shp_sample->Set(To_QColor(c.Back), To_QColor(c.Border), c.Opaque, Cell_Border_Px);
        Touch_Label* sample = w.lbl_sample;
        std::string caption = c.Caption;
        if (caption.rfind("\r\n", 0) == 0) caption.replace(0, 2, "\n");
        Set_Text(sample, caption);
        if (sample->font().pointSizeF() != Design_Points(c.Font_Size))
            sample->setFont(Station_Font("Arial", c.Font_Size, true));
        Set_Colour(sample, To_QColor(c.Sample_Fore));
        sample->setVisible(c.Sample_Visible);
        sample->setAccessibleName(
            QString("Rack position %1, %2, %3")
                .arg(i + 1)
                .arg(QString::fromStdString(c.Caption).trimmed(), QString::fromStdString(c.Tag)));
        Set_Text(w.lbl_Info, c.Info);
        Set_Colour(w.lbl_Info, To_QColor(c.Info_Fore));
        Set_Text(w.lbl_Result, c.Result);
        Set_Colour(w.lbl_Result, To_QColor(c.Result_Fore));
        const std::array<const Status_Picture_Look*, 3> looks = {&c.Screen, &c.Water, &c.Picture};
        for (size_t k = 0; k < looks.size(); ++k) {
            Touch_Label* pic = w.img_sample_status[k];
            if (looks[k]->Visible) Set_Picture(pic, g, looks[k]->Picture);
            pic->setVisible(looks[k]->Visible);
        }
    }
    QLabel* desc = ui_.lbl_rackDesc;
    if (desc->text().toStdString() != view_.lbl_rackDesc) {
        Set_Text(desc, view_.lbl_rackDesc);
        // The name keeps the whole of its 18 characters: a long one is drawn smaller, never cut.
        QFont f = desc->font();
        f.setPointSizeF(Design_Points(Header_Station_Font_Size - 2));
        while (f.pointSizeF() > Design_Points(10) &&
               QFontMetrics(f).horizontalAdvance(desc->text()) > desc->width())
            f.setPointSizeF(f.pointSizeF() - Design_Points(1));
        desc->setFont(f);
    }
    desc->setToolTip(QString::fromStdString(view_.lbl_rackDesc_ToolTip));
    Set_Text(ui_.lbl_RackDate, view_.lbl_RackDate);
    Set_Text(ui_.lbl_RackStatus, view_.lbl_RackStatus);
    Set_Text(ui_.lbl_ActiveWo, view_.lbl_ActiveWo);
    ui_.img_ptr->setVisible(view_.img_ptr_Visible);
    for (int i = 0; i < 3; ++i)
        ui_.bttn_Nav[i]->setVisible(view_.bttn_Nav_Visible[i]);
    ui_.img_Priority->setVisible(view_.img_Priority_Visible);
    for (int b = 0; b < 4; ++b) {
        const Priority_Look& look = view_.Priority_Images[b];
        if (look.Visible && look.Slot >= 0 && look.Slot < 4) {
            ui_.Priority[b]->setGeometry(Px(l.Priority_Button_Left[look.Slot], this),
                                         Px(l.Priority.Top, this), Px(l.Priority.Width, this),
                                         Px(l.Priority.Height, this));
            Set_Picture(ui_.Priority[b], g, look.Picture);
        }
        ui_.Priority[b]->setVisible(look.Visible);
    }
    Set_Picture(ui_.img_save, g, view_.img_save_Picture);
    ui_.img_save->setVisible(view_.img_save_Visible);
}

Rack_Search& Form_Rack::Load_Search() {
    search_ = spare_search_ ? std::move(spare_search_) : New_Search();
    return search_->Model();
}

void Form_Rack::Show_Search_Modal() {
    search_->Show_Modal();
    if (search_->Shown_To_Technician()) ++Searches_Shown;
}

void Form_Rack::Unload_Search() {
    if (!search_) return;
    search_->Unload();
    search_.reset();
    // The next search's form is made when the event loop next turns: off the touch's path.
    QTimer::singleShot(0, this, [this] { Prepare_Search(); });
}

std::unique_ptr<Form_Search> Form_Rack::New_Search() {
    return std::make_unique<Form_Search>(p_.G, p_.Time, p_.Current_Rack, p_.Alerts, this);
}

void Form_Rack::Prepare_Search() {
    if (spare_search_ || unloaded_) return;
    spare_search_ = New_Search();
    spare_search_->ensurePolished();
}

} // namespace pcs::ui
