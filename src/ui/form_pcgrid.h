// The particle-count histogram window: the last count as seven bars, drawn from the histogram model
// (axis ladder, bar heights, switches); a touch on a channel's check box switches it in the model.
#pragma once

#include "common/globals.h"
#include "common/ports.h"
#include "station/histogram.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QFrame;
class QLabel;

namespace pcs::ui {

class form_pcGrid final : public QWidget {
    Q_OBJECT
public:
    form_pcGrid(const Globals& g, Alert_Port& alerts, Histogram& model, QWidget* owner = nullptr);

    // The model changed: draws the axis, the bars and the code label.
    void Redraw();
    // Lays the panel out for the width of the rack view's panel.
    void Resize(int background_width);

    QFrame* Plot_Area() const { return shp_Histogram_; }

private:
    const Globals& g_;
    Alert_Port& alerts_;
    Histogram& model_;
    QFrame* shp_histbg_;
    QFrame* shp_Histogram_;
    QFrame* line_50_;
    QLabel* lbl_CODE_;
    std::array<QLabel*, 2> lbl_Y_{};
    std::array<QFrame*, Histogram::Channels> shp_size_{};
    std::array<QCheckBox*, Histogram::Channels> chk_size_{};
    std::array<QLabel*, Histogram::Channels> lbl_size_{};
};

} // namespace pcs::ui
