#include "ui/fonts.h"

#include "ui/twips.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

namespace pcs::ui {

void Install_Font_Substitutes() {
    QFont::insertSubstitutions("Eurostile", {"Play", "Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial Narrow",
                               {"Liberation Sans Narrow", "Liberation Sans", "DejaVu Sans Condensed"});
}

QFont Station_Font(const std::string& name, int size, bool bold) {
    QFont f(QString::fromStdString(name));
    f.setBold(bold);
    if (size > 0) f.setPointSizeF(Design_Points(size));
    return f;
}

void Set_Font(QWidget* control, const std::string& caption, const std::string& font_name, int16_t size,
              bool bold, QColor color) {
    if (!control) return;
    QFont f = control->font();
    f.setFamily(QString::fromStdString(font_name));
    f.setBold(bold);
    QPalette p = control->palette();
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        p.setColor(role, color);
    control->setPalette(p);
    if (size > 0) f.setPointSizeF(Design_Points(size));
    control->setFont(f);
    if (caption.empty()) return;
    const QString text = QString::fromStdString(caption);
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
}

} // namespace pcs::ui
