// The three working forms as the shell moves them: the main station form and the rack view (built by
// their own screens and handed in by the composition root) and the header bar.
#pragma once

#include "shell/working_forms.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace pcs::ui {

class Form_Header;

class Working_Form_Set final : public Working_Forms {
public:
    QPointer<QWidget> Main_Form;
    QPointer<QWidget> Rack_View;
    QPointer<Form_Header> Header;
    // The main form's reActivate and Hibernate.
    std::function<void()> reActivate, Hibernate;

    Saved_Window_Positions Positions() const override;
    void Restore_Positions(const Saved_Window_Positions& p) override;
    void Show_User() override;
    void Show_Working_Forms() override;
    void Hibernate_Working_Forms() override;
};

} // namespace pcs::ui
