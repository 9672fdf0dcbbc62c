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
#include <cmath>
#include <unordered_map>

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

// Pictures read once per process: a redraw never goes back to the disk for them.
const QPixmap& Cached_Picture(const Globals& g, const std::string& name) {
    static std::unordered_map<std::string, QPixmap> cache;
    const std::string path = Picture_Path(g, name).string();
    auto it = cache.find(path);
    if (it == cache.end()) it = cache.emplace(path, Read_Picture(path)).first;
    return it->second;
}

void Set_Picture(Touch_Label* l, const Globals& g, const std::string& name) {
    const QPixmap& p = Cached_Picture(g, name);
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

    shp_rackPanel_ = new Rack_Cell("shp_rackPanel", this);
    shp_holder_ = new Rack_Cell("shp_holder_0", this);
    for (int i = 0; i < Rack_Cells; ++i)
        cells_[i] = new Rack_Cell(QString("shp_sample_%1").arg(i), this);
    for (int i = 0; i < Rack_Cells; ++i) {
        auto* sample =
            new Touch_Label(QString("lbl_sample_%1").arg(i), QString("Rack position %1").arg(i + 1), this);
        sample->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        connect(sample, &Touch_Label::clicked, this,
                [this, i] { Touch([&] { view_.lbl_sample_Click(i); }); });
        for (const char* kind : {"lbl_Info", "lbl_Result"}) {
            QLabel* l = Make_Label(this, QString("%1_%2").arg(kind).arg(i), "");
            l->setAlignment(Qt::AlignCenter);
            l->setAttribute(Qt::WA_TransparentForMouseEvents); // the cell's own touch takes it
        }
        for (const char* kind :
             {"img_sample_status_screen", "img_sample_status_water", "img_sample_status_picture"}) {
            auto* pic = new Touch_Label(QString("%1_%2").arg(kind).arg(i), "Screening progress", this);
            connect(pic, &Touch_Label::clicked, this,
                    [this, i] { Touch([&] { view_.lbl_sample_Click(i); }); });
            pic->hide();
        }
    }

    lbl_rackDesc_ = Make_Label(this, "lbl_rackDesc", "Rack name");
    lbl_RackDate_ = Make_Label(this, "lbl_RackDate", "Rack date");
    lbl_RackDate_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbl_RackStatus_ = Make_Label(this, "lbl_RackStatus", "Rack status");
    lbl_ActiveWo_ = Make_Label(this, "lbl_ActiveWo", "Active work order");
    lbl_ActiveWo_->hide();
    img_ptr_ = Make_Label(this, "img_ptr", "Rack loaded");
    img_ptr_->setScaledContents(true);

    const std::array<QString, 3> nav_names = {"Previous rack", "Next rack", "Find a rack"};
    for (int i = 0; i < 3; ++i) {
        bttn_Nav_[i] = new Touch_Label(QString("bttn_Nav_%1").arg(i), nav_names[i], this);
        bttn_Nav_[i]->Set_Picture_Control(true);
        connect(bttn_Nav_[i], &Touch_Label::clicked, this,
                [this, i] { Touch([&] { view_.bttn_Nav_Click(i); }); });
    }
    img_Priority_ = new Touch_Label("img_Priority", "Find all outstanding racks", this);
    img_Priority_->setToolTip("Find all outstanding racks");
    img_Priority_->Set_Picture_Control(true);
    connect(img_Priority_, &Touch_Label::clicked, this,
            [this] { Touch([&] { view_.img_Priority_Click(); }); });
    const std::array<QString, 4> tips = {
        "Find racks containing retests", "Find racks containing rush samples",
        "Find racks containing urgent (samples older than 48hours) samples",
        "Find racks containing critical (samples that have a severe result) samples"};
    for (int b = 0; b < 4; ++b) {
        const QString name = "img_" + QString(Priority_Tags[b]).toLower();
        priority_[b] = new Touch_Label(name, tips[b], this);
        priority_[b]->setToolTip(tips[b]);
        priority_[b]->Set_Picture_Control(true);
        priority_[b]->hide();
        connect(priority_[b], &Touch_Label::clicked, this,
                [this, b] { Touch([&] { view_.Priority_Click(b); }); });
    }
    img_save_ = new Touch_Label("img_save", "Save edited results", this);
    img_save_->Set_Picture_Control(true);
    connect(img_save_, &Touch_Label::clicked, this, [this] { Touch([&] { view_.img_save_Click(); }); });
    img_Exit_ = new Touch_Label("img_Exit", "Leave the program", this);
    img_Exit_->Set_Picture_Control(true);
    connect(img_Exit_, &Touch_Label::clicked, this, [this] { Touch([&] { view_.img_Exit_Click(); }); });
    lbl_Exit_ = new Touch_Label("lbl_Exit", "EXIT", this);
    lbl_Exit_->setText("EXIT");
    lbl_Exit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(lbl_Exit_, &Touch_Label::clicked, this, [this] { Touch([&] { view_.lbl_Exit_Click(); }); });

    // Fonts and pictures that never change.
    Set_Font(lbl_RackStatus_, "", "Eurostile", 12, false, To_QColor(g.Colors.Color_Amber));
    // The designed grey (#5B656E) all but vanishes on the navy panel at arm's length: sky blue instead.
    Set_Font(lbl_RackDate_, "", "Eurostile", 11, true, To_QColor(g.Colors.Color_Sky));
    Set_Font(lbl_ActiveWo_, "", "Eurostile", 18, true, To_QColor(g.Colors.Color_Amber));
    Set_Font(lbl_Exit_, "", "Eurostile", 16, true, To_QColor(g.Colors.Color_Amber));
    for (int i = 0; i < 3; ++i)
        Set_Picture(bttn_Nav_[i], g, Picture_Nav[i]);
    Set_Picture(img_Priority_, g, Picture_All_Racks);
    Set_Picture(img_Exit_, g, Picture_Exit);
    img_ptr_->setPixmap(Cached_Picture(g, Picture_Pointer));

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
    Set_Font(lbl_rackDesc_, "", "Arial Black", static_cast<int16_t>(Header_Station_Font_Size - 2), false,
             To_QColor(p_.G.Colors.Color_Amber));
    // No free twin of Arial Black: the heaviest weight of its substitute reads the same at a distance.
    QFont f = lbl_rackDesc_->font();
    f.setFamily("Arial");
    f.setWeight(QFont::Black);
    lbl_rackDesc_->setFont(f);
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
    shp_rackPanel_->setGeometry(px(l.Panel));
    shp_holder_->setGeometry(px(l.Holder));
    for (int i = 0; i < Rack_Cells; ++i) {
        const Cell_Layout& c = l.Cells[i];
        cells_[i]->setGeometry(px(c.Cell));
        findChild<QWidget*>(QString("lbl_sample_%1").arg(i))->setGeometry(px(c.Cell));
        findChild<QWidget*>(QString("lbl_Info_%1").arg(i))->setGeometry(px(c.Info));
        findChild<QWidget*>(QString("lbl_Result_%1").arg(i))->setGeometry(px(c.Result));
        findChild<QWidget*>(QString("img_sample_status_screen_%1").arg(i))->setGeometry(px(c.Screen));
        findChild<QWidget*>(QString("img_sample_status_water_%1").arg(i))->setGeometry(px(c.Water));
        findChild<QWidget*>(QString("img_sample_status_picture_%1").arg(i))->setGeometry(px(c.Picture));
        QLabel* info = findChild<QLabel*>(QString("lbl_Info_%1").arg(i));
        info->setFont(Station_Font("Arial", 9, true));
        findChild<QLabel*>(QString("lbl_Result_%1").arg(i))->setFont(Station_Font("Arial", 11, true));
    }
    for (int i = 0; i < 3; ++i)
        bttn_Nav_[i]->setGeometry(px(l.Nav[i]));
    lbl_rackDesc_->setGeometry(px(l.Rack_Desc));
    lbl_RackStatus_->setGeometry(px(l.Rack_Status));
    lbl_RackDate_->setGeometry(px(l.Rack_Date));
    img_ptr_->setGeometry(px(l.Pointer));
    img_Priority_->setGeometry(px(l.Priority));
    img_save_->setGeometry(px(l.Save));
    img_Exit_->setGeometry(px(l.Exit));
    lbl_Exit_->setGeometry(px(l.Exit_Label));
}

void Form_Rack::Draw() {
    const Globals& g = p_.G;
    const Rack_Layout& l = view_.Layout;
    shp_rackPanel_->Set(To_QColor(g.Colors.Color_Navy), To_QColor(g.Colors.Color_Steel), true, 1);
    shp_holder_->Set(To_QColor(g.Colors.Color_Steel_2), QColor(0x47, 0x50, 0x5B), true, 1);
    for (int i = 0; i < Rack_Cells; ++i) {
        const Cell_Look& c = view_.Cells[i];
        cells_[i]->Set(To_QColor(c.Back), To_QColor(c.Border), c.Opaque, Cell_Border_Px);
        auto* sample = static_cast<Touch_Label*>(findChild<QWidget*>(QString("lbl_sample_%1").arg(i)));
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
        QLabel* info = findChild<QLabel*>(QString("lbl_Info_%1").arg(i));
        Set_Text(info, c.Info);
        Set_Colour(info, To_QColor(c.Info_Fore));
        QLabel* result = findChild<QLabel*>(QString("lbl_Result_%1").arg(i));
        Set_Text(result, c.Result);
        Set_Colour(result, To_QColor(c.Result_Fore));
        const std::array<std::pair<const char*, const Status_Picture_Look*>, 3> pics = {
            std::pair{"img_sample_status_screen", &c.Screen}, std::pair{"img_sample_status_water", &c.Water},
            std::pair{"img_sample_status_picture", &c.Picture}};
        for (auto [kind, look] : pics) {
            auto* pic = static_cast<Touch_Label*>(findChild<QWidget*>(QString("%1_%2").arg(kind).arg(i)));
            if (look->Visible) Set_Picture(pic, g, look->Picture);
            pic->setVisible(look->Visible);
        }
    }
    if (lbl_rackDesc_->text().toStdString() != view_.lbl_rackDesc) {
        Set_Text(lbl_rackDesc_, view_.lbl_rackDesc);
        // The name keeps the whole of its 18 characters: a long one is drawn smaller, never cut.
        QFont f = lbl_rackDesc_->font();
        f.setPointSizeF(Design_Points(Header_Station_Font_Size - 2));
        while (f.pointSizeF() > Design_Points(10) &&
               QFontMetrics(f).horizontalAdvance(lbl_rackDesc_->text()) > lbl_rackDesc_->width())
            f.setPointSizeF(f.pointSizeF() - Design_Points(1));
        lbl_rackDesc_->setFont(f);
    }
    lbl_rackDesc_->setToolTip(QString::fromStdString(view_.lbl_rackDesc_ToolTip));
    Set_Text(lbl_RackDate_, view_.lbl_RackDate);
    Set_Text(lbl_RackStatus_, view_.lbl_RackStatus);
    Set_Text(lbl_ActiveWo_, view_.lbl_ActiveWo);
    img_ptr_->setVisible(view_.img_ptr_Visible);
    for (int i = 0; i < 3; ++i)
        bttn_Nav_[i]->setVisible(view_.bttn_Nav_Visible[i]);
    img_Priority_->setVisible(view_.img_Priority_Visible);
    for (int b = 0; b < 4; ++b) {
        const Priority_Look& look = view_.Priority_Images[b];
        if (look.Visible && look.Slot >= 0 && look.Slot < 4) {
            priority_[b]->setGeometry(Px(l.Priority_Button_Left[look.Slot], this), Px(l.Priority.Top, this),
                                      Px(l.Priority.Width, this), Px(l.Priority.Height, this));
            Set_Picture(priority_[b], g, look.Picture);
        }
        priority_[b]->setVisible(look.Visible);
    }
    Set_Picture(img_save_, g, view_.img_save_Picture);
    img_save_->setVisible(view_.img_save_Visible);
}

Rack_Search& Form_Rack::Load_Search() {
    search_ = std::make_unique<Form_Search>(p_.G, p_.Time, p_.Current_Rack, p_.Alerts, this);
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
}

} // namespace pcs::ui
