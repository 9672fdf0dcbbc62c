// The core's alert, question and status ports on the touch screen: every message of the station
// reaches the technician through these forms.
#pragma once

#include "common/clock.h"
#include "common/globals.h"
#include "common/ports.h"

#include <QLabel>
#include <QPointer>
#include <memory>
#include <string>

class QWidget;

namespace pcs::ui {

class Form_Message;

class Screen_Alerts final : public Alert_Port {
public:
    Screen_Alerts(Globals& g, const Clock& clock) : g_(g), clock_(clock) {}
    // The window the alerts are shown over when no window of the station is active.
    void Set_Fallback_Owner(QWidget* owner) { fallback_owner_ = owner; }

    void Alert(const std::string& text) override;
    int Ask_Yes_No(const std::string& question, bool left_aligned = false, int font_size = 0) override;

private:
    QWidget* Owner_Window() const;
    Globals& g_;
    const Clock& clock_;
    QPointer<QWidget> fallback_owner_;
};

class Screen_Status final : public Status_Port {
public:
    Screen_Status();
    ~Screen_Status() override;

    // The header's lbl_Status; until one is attached the caption is kept here.
    void Attach_Status_Label(QLabel* label) { label_ = label; }
    // The form the banner is shown over.
    void Set_Owner(QWidget* owner) { owner_ = owner; }
    Form_Message* Panel() const;
    // The banner's text while it shows, "" otherwise.
    std::string Show_Message_Panel_Text() const;

    std::string Status_Caption() const override;
    void Set_Status_Caption(const std::string& text) override;
    void Hide_Status_Label() override;
    bool Message_Panel_Showing() const override;
    void Show_Message_Panel(const std::string& text, const Font_Spec& font) override;
    void Unload_Message_Panel() override;

private:
    QPointer<QLabel> label_;
    QPointer<QWidget> owner_;
    std::string caption_;
    QPointer<Form_Message> panel_;
};

} // namespace pcs::ui
