// The header bar across the top of the screen: the technician, the station, the hidden status
// caption, and the lock, toolbox and procedure-document icons.
#pragma once

#include "shell/header_bar.h"

#include <QWidget>
#include <cstdint>

class QFrame;
class QLabel;

namespace pcs::ui {

class Touch_Label;

class Form_Header final : public QWidget, private Header_View {
    Q_OBJECT
public:
    Form_Header(Globals& g, const Clock& clock, Employee& employee, Status_Port& status, Alert_Port& alerts,
                Header_Actions& actions, QWidget* parent = nullptr);

    Header_Bar& Bar() { return bar_; }
    // The login screen's timer the toolbox stops; the toolbox is not offered without it.
    Hibernation_Timer* Timer = nullptr;

    void showUser();
    void showStation();
    void Resize_Panel(int16_t iWidth);
    QLabel* lbl_Status() const { return lbl_Status_; }

signals:
    // The procedure document of the test group is asked for (the document button).
    void Document_Requested(const std::string& test_code);

private:
    std::string Show_Toolbox() override;
    void Process_Events() override;
    void Show_Document(const std::string& test_code) override;
    void Lay_Out();

    Globals& g_;
    Alert_Port& alerts_;
    Header_Bar bar_;
    QFrame* shp_mainPanel_;
    Touch_Label* img_Login_;
    Touch_Label* lbl_UserDesc_;
    QLabel* lbl_Station_;
    QLabel* lbl_Status_;
    Touch_Label* img_config_;
    Touch_Label* img_iso_;
};

} // namespace pcs::ui
