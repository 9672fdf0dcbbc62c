#include "ui/working_form_set.h"

#include "ui/form_header.h"

namespace pcs::ui {

namespace {

Form_Place Place(const QWidget* w) {
    return w ? Form_Place{w->y(), w->x()} : Form_Place{};
}
void Move(QWidget* w, const Form_Place& p) {
    if (w) w->move(p.Left, p.Top);
}

} // namespace

Saved_Window_Positions Working_Form_Set::Positions() const {
    return {Place(Main_Form), Place(Rack_View), Place(Header)};
}

void Working_Form_Set::Restore_Positions(const Saved_Window_Positions& p) {
    Move(Main_Form, p.Main_Form);
    Move(Header, p.Header);
    Move(Rack_View, p.Rack_View);
}

void Working_Form_Set::Show_User() {
    if (Header) Header->showUser();
}

void Working_Form_Set::Show_Working_Forms() {
    if (Main_Form) Main_Form->show();
    emit Main_Form_Shown();
    if (Header) Header->show();
    if (Rack_View) Rack_View->show();
}

void Working_Form_Set::Hibernate_Working_Forms() {
    emit Hibernating();
    for (QWidget* w : {Main_Form.data(), Rack_View.data(), static_cast<QWidget*>(Header.data())})
        if (w) w->hide();
}

} // namespace pcs::ui
