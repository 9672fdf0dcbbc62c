#include "ui/screen_ports.h"

#include "ui/fonts.h"
#include "ui/form_alert.h"
#include "ui/form_alertyesno.h"
#include "ui/form_message.h"

#include <QApplication>
#include <QLabel>

namespace pcs::ui {

QWidget* Screen_Alerts::Owner_Window() const {
    if (QWidget* w = QApplication::activeWindow()) return w;
    return fallback_owner_;
}

void Screen_Alerts::Alert(const std::string& text) {
    Form_Alert form(g_, clock_, Owner_Window());
    form.Model().Message = text;
    form.exec();
}

int Screen_Alerts::Ask_Yes_No(const std::string& question, bool /*left_aligned: the question's own default*/,
                              int font_size) {
    Form_AlertYesNo form(g_, clock_, Owner_Window());
    form.Model().Message = question;
    form.Model().iFontSize = static_cast<int16_t>(font_size);
    form.exec();
    return form.Model().intInput;
}

Screen_Status::Screen_Status() = default;

Screen_Status::~Screen_Status() {
    delete panel_.data();
}

Form_Message* Screen_Status::Panel() const {
    return panel_.data();
}

std::string Screen_Status::Show_Message_Panel_Text() const {
    return Message_Panel_Showing() ? panel_->lbl_message()->text().toStdString() : std::string();
}

std::string Screen_Status::Status_Caption() const {
    return label_ ? label_->text().toStdString() : caption_;
}

void Screen_Status::Set_Status_Caption(const std::string& text) {
    caption_ = text;
    if (label_) label_->setText(QString::fromStdString(text));
}

void Screen_Status::Hide_Status_Label() {
    if (label_) label_->hide();
}

bool Screen_Status::Message_Panel_Showing() const {
    return panel_ && panel_->isVisible();
}

void Screen_Status::Show_Message_Panel(const std::string& text, const Font_Spec& font) {
    if (!panel_) panel_ = new Form_Message(owner_.data());
    Set_Font(panel_->lbl_message(), text, font);
    panel_->lbl_message()->setAccessibleName(QString::fromStdString(text));
    panel_->Show_Over_Owner();
}

void Screen_Status::Unload_Message_Panel() {
    delete panel_.data();
}

} // namespace pcs::ui
