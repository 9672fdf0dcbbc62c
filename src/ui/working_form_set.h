// The three working forms as the shell moves them: the main station form and the rack view (built by
// their own screens and handed in by the composition root) and the header bar.
#pragma once

#include "shell/working_forms.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace pcs::ui {

class Form_Header;

class Working_Form_Set final : public QObject, public Working_Forms {
    Q_OBJECT
public:
    QPointer<QWidget> Main_Form;
    QPointer<QWidget> Rack_View;
    QPointer<Form_Header> Header;

    Saved_Window_Positions Positions() const override;
    void Restore_Positions(const Saved_Window_Positions& p) override;
    void Show_User() override;
    void Show_Working_Forms() override;
    void Hibernate_Working_Forms() override;

signals:
    // The main form has been shown after a login: it is told reActivate.
    void Main_Form_Shown();
    // The station locks: the main form is told Hibernate before the forms hide.
    void Hibernating();
};

} // namespace pcs::ui
