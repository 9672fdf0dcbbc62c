#include "ui/form_keyinput.h"

#include "ui/artwork.h"
#include "ui/fonts.h"
#include "ui/guarded.h"
#include "ui/pictures.h"
#include "ui/touch_label.h"
#include "ui/twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyle>
#include <map>

namespace pcs::ui {

// The input box's masking character, as the style answers it to the box.
class Mask_Style final : public QProxyStyle {
public:
    explicit Mask_Style(QChar c) : QProxyStyle(QApplication::style()->name()), c_(c) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return c_.unicode();
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

private:
    QChar c_;
};

namespace {

// Rows of the keyboard: key index and width in key units; every row is 14 units wide.
struct Key_Place {
    int Index;
    int Units;
};
const std::vector<std::vector<Key_Place>> Key_Rows{
    {{0, 1},
     {1, 1},
     {2, 1},
     {3, 1},
     {4, 1},
     {5, 1},
     {6, 1},
     {7, 1},
     {8, 1},
     {9, 1},
     {10, 1},
     {11, 1},
     {22, 2}},
    {{12, 1},
     {13, 1},
     {14, 1},
     {15, 1},
     {16, 1},
     {17, 1},
     {18, 1},
     {19, 1},
     {20, 1},
     {21, 1},
     {23, 1},
     {49, 1},
     {50, 1},
     {51, 1}},
    {{24, 1},
     {25, 1},
     {26, 1},
     {27, 1},
     {28, 1},
     {29, 1},
     {30, 1},
     {31, 1},
     {32, 1},
     {33, 1},
     {34, 1},
     {52, 3}},
    {{45, 2},
     {35, 1},
     {36, 1},
     {37, 1},
     {38, 1},
     {39, 1},
     {40, 1},
     {41, 1},
     {42, 1},
     {43, 1},
     {44, 1},
     {47, 2}},
    {{46, 3}, {48, 11}},
};
constexpr int Row_Units = 14;

// Panel geometry in twips.
constexpr int Panel_Width = 13500, Panel_Height = 8475, Margin = 300, Key_Gap = 75;
constexpr int Prompt_Top = 240, Prompt_Height = 700, Input_Top = 1000, Input_Height = 1000, Keys_Top = 2250;

QString Accessible_Key_Name(int index) {
    static const std::map<std::string, QString> names{
        {"CMD_DELETE", "Delete the character to the right"},
        {"CMD_CAPS", "Caps lock"},
        {"CMD_CANCEL", "Cancel"},
        {"CMD_ALT", "Alt"},
        {"CMD_SPACE", "Space"},
        {"CMD_ENTER", "Enter"},
    };
    auto it = names.find(Key_Tags[static_cast<size_t>(index)]);
    return it != names.end() ? it->second : QString::fromStdString(Key_Input::Key_Caption(index));
}

} // namespace

Form_KeyInput::Form_KeyInput(const Globals& g, Alert_Port& alerts, QWidget* parent)
    : Framed_Panel(parent), g_(g), alerts_(alerts) {
    setObjectName("Form_KeyInput");
    setAccessibleName("Keyboard");
    setFixedSize(Px(Panel_Width, this), Px(Panel_Height, this));

    lbl_Desc_ = new QLabel(this);
    lbl_Desc_->setObjectName("lbl_Desc");
    lbl_CAPS_ = new QLabel(this);
    lbl_CAPS_->setObjectName("lbl_CAPS");
    lbl_CAPS_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txt_Input_ = new QLineEdit(this);
    txt_Input_->setObjectName("txt_Input");
    txt_Input_->setAccessibleName("Input");
    txt_Input_->installEventFilter(this);

    const QPixmap cap = Read_Picture(Picture_Path(g_, Picture_Key_Cap));
    const QPixmap cmd_cap = Read_Picture(Picture_Path(g_, Picture_Key_Cap_Cmd));
    for (int i = 0; i < Key_Count; ++i) {
        auto* key = new Touch_Label(QString("lbl_Key_%1").arg(i), Accessible_Key_Name(i), this);
        key->setText(QString::fromStdString(Key_Input::Key_Caption(i)));
        key->setProperty("tag", QString(Key_Tags[static_cast<size_t>(i)]));
        key->Set_Picture(Key_Input::Is_Command(i) ? cmd_cap : cap);
        key->Set_Picture_Control(true);
        // Load: the keys and the prompt on a transparent background.
        key->setAttribute(Qt::WA_TranslucentBackground);
        // Enter in the input box's green, so the key that finishes the entry is found at a glance.
        const bool enter = std::string(Key_Tags[static_cast<size_t>(i)]) == "CMD_ENTER";
        const QColor text = enter                      ? To_QColor(g_.Colors.Key_Green)
                            : Key_Input::Is_Command(i) ? To_QColor(g_.Colors.Color_Amber)
                                                       : QColor(Qt::white);
        Set_Font(key, "", "Arial", Key_Input::Is_Command(i) ? (enter ? 18 : 14) : 18, true, text);
        connect(key, &Touch_Label::clicked, this,
                [this, i] { Guarded(alerts_, [&] { model_.Key_Click(i); }); });
        keys_[static_cast<size_t>(i)] = key;
    }

    // Load: the input box in green on grey, the prompt and caps indicator in their fonts.
    model_.Load();
    txt_Input_->setFont(Station_Font("Arial", 30, true));
    txt_Input_->setStyleSheet("QLineEdit { color: rgb(0,255,0); background: rgb(74,74,74); "
                              "border: 2px solid rgb(130,190,247); border-radius: 6px; padding: 0 10px; }");
    Set_Font(lbl_Desc_, lbl_Desc_->text().toStdString(), "Arial Narrow", 26, true,
             To_QColor(g_.Colors.Color_White));
    Set_Font(lbl_CAPS_, model_.CAPS_Caption, "Arial", 18, true, To_QColor(g_.Colors.Key_Green));
    Lay_Out_Keys();
}

void Form_KeyInput::Lay_Out_Keys() {
    const int m = Px(Margin, this);
    const int inner = width() - 2 * m;
    lbl_Desc_->setGeometry(m, Px(Prompt_Top, this), inner * 2 / 3, Px(Prompt_Height, this));
    lbl_CAPS_->setGeometry(m + inner * 2 / 3, Px(Prompt_Top, this), inner - inner * 2 / 3,
                           Px(Prompt_Height, this));
    txt_Input_->setGeometry(m, Px(Input_Top, this), inner, Px(Input_Height, this));

    const int top = Px(Keys_Top, this), gap = Px(Key_Gap, this);
    const int rows = static_cast<int>(Key_Rows.size());
    const int row_height = (height() - m - top) / rows;
    for (int r = 0; r < rows; ++r) {
        int unit_start = 0;
        for (const Key_Place& k : Key_Rows[static_cast<size_t>(r)]) {
            const int x0 = m + inner * unit_start / Row_Units;
            const int x1 = m + inner * (unit_start + k.Units) / Row_Units;
            keys_[static_cast<size_t>(k.Index)]->setGeometry(x0, top + r * row_height, x1 - x0 - gap,
                                                             row_height - gap);
            unit_start += k.Units;
        }
    }
}

void Form_KeyInput::Set_Prompt(const std::string& caption) {
    Set_Font(lbl_Desc_, caption, "Arial Narrow", 26, true, To_QColor(g_.Colors.Color_White));
    lbl_Desc_->setAccessibleName(lbl_Desc_->text());
}

void Form_KeyInput::Set_Mask(const std::string& mask) {
    if (mask.empty()) {
        txt_Input_->setEchoMode(QLineEdit::Normal);
        return;
    }
    // The box shows the masking character; neither it nor its accessible value gives the text away.
    // A child of the panel made after the box, so it outlives the box that uses it.
    auto* style = new Mask_Style(QChar(mask[0]));
    style->setParent(this);
    txt_Input_->setStyle(style);
    txt_Input_->setEchoMode(QLineEdit::Password);
}

void Form_KeyInput::showEvent(QShowEvent* e) {
    Centre_On_Owner();
    Framed_Panel::showEvent(e);
    txt_Input_->setFocus();
}

bool Form_KeyInput::eventFilter(QObject* watched, QEvent* e) {
    if (watched == txt_Input_ && e->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded(alerts_, [&] { model_.Input_Key_Up(13); });
            return true;
        }
    }
    // Enter pressed in the box must not reach the dialog's default button.
    if (watched == txt_Input_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return Framed_Panel::eventFilter(watched, e);
}

void Form_KeyInput::Focus_Input() {
    txt_Input_->setFocus();
}

void Form_KeyInput::Type_Text(const std::string& text) {
    txt_Input_->insert(QString::fromStdString(text));
}

void Form_KeyInput::Delete_Right() {
    txt_Input_->del();
}

std::string Form_KeyInput::Input_Text() const {
    return txt_Input_->text().toStdString();
}

void Form_KeyInput::Caps_Changed() {
    lbl_CAPS_->setText(QString::fromStdString(model_.CAPS_Caption));
}

} // namespace pcs::ui
