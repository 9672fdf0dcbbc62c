#include "ui/form_pcgrid.h"

#include "common/text.h"
#include "ui/fonts.h"
#include "ui/guarded.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <cmath>

namespace pcs::ui {

namespace {

// The check boxes stand in a row of their own under the captions, a finger wide.
constexpr int Background_Height = 262;
constexpr int Box = 42;
constexpr int Border = 2;
constexpr int Plot_Top = 40, Plot_Height = 150;

void Fill(QWidget* w, QColor c) {
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

} // namespace

form_pcGrid::form_pcGrid(const Globals& g, Alert_Port& alerts, Histogram& model, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), g_(g), alerts_(alerts), model_(model) {
    setObjectName("form_pcGrid");
    setAccessibleName("Particle count histogram");
    const QColor white = To_QColor(g_.Colors.Color_White);

    shp_histbg_ = new QFrame(this);
    shp_histbg_->setObjectName("shp_histbg");
    shp_histbg_->setFrameShape(QFrame::Box);
    shp_histbg_->setLineWidth(Border);
    Fill(shp_histbg_, To_QColor(g_.Colors.Color_Navy));
    QPalette bp = shp_histbg_->palette();
    bp.setColor(QPalette::WindowText, To_QColor(g_.Colors.Color_Steel));
    shp_histbg_->setPalette(bp);

    shp_Histogram_ = new QFrame(this);
    shp_Histogram_->setObjectName("shp_Histogram");
    Fill(shp_Histogram_, To_QColor(g_.Colors.Color_Navy).darker(135));

    line_50_ = new QFrame(this);
    line_50_->setObjectName("line_50");
    Fill(line_50_, To_QColor(g_.Colors.Color_Steel).lighter(140));

    lbl_CODE_ = new QLabel(this);
    lbl_CODE_->setObjectName("lbl_CODE");
    lbl_CODE_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Set_Font(lbl_CODE_, "", "Arial", 16, true, To_QColor(g_.Colors.Color_Amber));

    for (int i = 0; i < 2; ++i) {
        lbl_Y_[size_t(i)] = new QLabel(this);
        lbl_Y_[size_t(i)]->setObjectName("lbl_Y_" + QString::number(i));
        lbl_Y_[size_t(i)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Set_Font(lbl_Y_[size_t(i)], "", "Arial", 8, true, white);
    }

    for (int i = 0; i < Histogram::Channels; ++i) {
        const QString n = QString::number(i);
        const QString caption = QString::fromUtf8(Histogram_Captions[size_t(i)]);
        shp_size_[size_t(i)] = new QFrame(this);
        shp_size_[size_t(i)]->setObjectName("shp_size_" + n);
        Fill(shp_size_[size_t(i)], To_QColor(g_.Colors.Color_Sky));
        chk_size_[size_t(i)] = new QCheckBox(this);
        chk_size_[size_t(i)]->setObjectName("chk_size_" + n);
        chk_size_[size_t(i)]->setAccessibleName("Show the " + caption + " channel");
        chk_size_[size_t(i)]->setChecked(model_.Checked()[size_t(i)]);
        chk_size_[size_t(i)]->setStyleSheet(Finger_Check_Box_Style());
        connect(chk_size_[size_t(i)], &QCheckBox::toggled, this, [this, i](bool on) {
            Guarded(alerts_, [&] {
                model_.Set_Checked(i, on);
                Redraw();
            });
        });
        lbl_size_[size_t(i)] = new QLabel(caption, this);
        lbl_size_[size_t(i)]->setObjectName("lbl_size_" + n);
        Set_Font(lbl_size_[size_t(i)], "", "Arial", 10, true, white);
    }
    Resize(Px(7400, this));
    Redraw();
}

void form_pcGrid::Resize(int background_width) {
    // Designed in pixels at 96 dpi; the width comes in at the layout's scale already.
    const auto d = [](int pixels) { return Design_Px(pixels); };
    const int plot_top = d(Plot_Top), plot_height = d(Plot_Height), box = d(Box);
    shp_histbg_->setGeometry(0, 0, background_width, d(Background_Height));
    const int plot_w = background_width - Px(710, this);
    const int plot_left = background_width - plot_w - d(8);
    shp_Histogram_->setGeometry(plot_left, plot_top, plot_w, plot_height);
    line_50_->setGeometry(plot_left, plot_top + plot_height / 2, plot_w, 1);
    lbl_CODE_->setGeometry(plot_left, d(6), plot_w - d(4), d(30));
    lbl_Y_[1]->setGeometry(d(2), plot_top - d(8), plot_left - d(6), d(16));
    lbl_Y_[0]->setGeometry(d(2), plot_top + plot_height / 2 - d(8), plot_left - d(6), d(16));
    // Rounded to one decimal first, then to a whole number, as the bars always were.
    const int bar_w = int(std::lround(std::round((plot_w - d(40)) / 7.0 * 10) / 10));
    int left = plot_left + d(5);
    for (int i = 0; i < Histogram::Channels; ++i) {
        shp_size_[size_t(i)]->setGeometry(left, plot_top + plot_height, bar_w, 0);
        lbl_size_[size_t(i)]->setGeometry(left + d(2), plot_top + plot_height + d(2), bar_w, d(22));
        chk_size_[size_t(i)]->setGeometry(left + (bar_w - box) / 2, plot_top + plot_height + d(24), box, box);
        left += bar_w + d(5);
    }
    setFixedSize(background_width + 1, d(Background_Height) + Border);
    Redraw();
}

void form_pcGrid::Redraw() {
    lbl_Y_[1]->setText(QString::fromStdString(model_.Y_Top()));
    lbl_Y_[0]->setText(QString::fromStdString(model_.Y_Half()));
    lbl_CODE_->setText(QString::fromStdString(model_.Code_Label()));
    lbl_CODE_->setAccessibleName("ISO code " + lbl_CODE_->text());
    const QRect plot = shp_Histogram_->geometry();
    for (int i = 0; i < Histogram::Channels; ++i) {
        const int h = std::clamp(model_.Bar_Height(i, plot.height()), 0, plot.height());
        QFrame* bar = shp_size_[size_t(i)];
        // Bars grow upwards from the plotting area's bottom.
        bar->setGeometry(bar->x(), plot.top() + plot.height() - h, bar->width(), h);
        bar->setVisible(h > 0);
        bar->raise();
        if (chk_size_[size_t(i)]->isChecked() != model_.Checked()[size_t(i)]) {
            const QSignalBlocker quiet(chk_size_[size_t(i)]);
            chk_size_[size_t(i)]->setChecked(model_.Checked()[size_t(i)]);
            chk_size_[size_t(i)]->setStyleSheet(Finger_Check_Box_Style());
        }
    }
    line_50_->raise();
}

} // namespace pcs::ui
