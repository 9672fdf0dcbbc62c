// The rack search dialog: the list of outstanding racks, the ten-key pad for a lab number (a keyboard
// or a barcode scanner typing as one works the same), and the automatic pick one second after opening,
// made while the dialog stays unseen. It draws the search model and forwards touches and keys.
#pragma once

#include "views/rack_search.h"

#include <QDialog>
#include <array>

class QLabel;
class QListWidget;
class QTimer;

namespace pcs::ui {

class Touch_Label;

class Form_Search final : public QDialog, private Search_View {
    Q_OBJECT
public:
    Form_Search(Globals& g, const Clock& clock, Rack& rack, Alert_Port& alerts, QWidget* owner);
    ~Form_Search() override;

    Rack_Search& Model() { return search_; }
    // The opening and the modal show: returns once the search has hidden itself.
    void Show_Modal();
    // The search was shown to the technician (not picking by itself).
    bool Shown_To_Technician() const { return search_.Working_Size; }
    // The form's unload.
    void Unload();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Hide_Search() override;
    void Build();
    void Draw();
    template <class F> void Touch(F&& f);

    Globals& g_;
    Alert_Port& alerts_;
    Rack_Search search_;
    QListWidget* lst_os_ = nullptr;
    QLabel* txt_wo_ = nullptr;
    QLabel* Image1_ = nullptr;
    std::array<Touch_Label*, 10> lbl_no_{};
    QTimer* Timer1_ = nullptr;
    bool unloaded_ = false;
};

} // namespace pcs::ui
