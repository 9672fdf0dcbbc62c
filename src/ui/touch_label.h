// A label that answers a touch: a key of the keyboard, an answer of an alert, a picture button of the
// header. It draws its picture behind its caption (a neutral frame when a picture control has none),
// darkens while pressed so a gloved finger sees it took, and reports the touch as clicked().
#pragma once

#include <QLabel>
#include <QPixmap>

namespace pcs::ui {

class Touch_Label : public QLabel {
    Q_OBJECT
public:
    // The object name is the documented control name; the accessible name says what a touch does.
    Touch_Label(const QString& object_name, const QString& accessible_name, QWidget* parent = nullptr);

    void Set_Picture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }
    // A picture control with no picture shows a neutral frame instead of nothing.
    void Set_Picture_Control(bool on) { picture_control_ = on; }
    bool Pressed() const { return pressed_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QPixmap picture_;
    bool picture_control_ = false;
    bool pressed_ = false;
};

// A check box's style whose box is a finger wide (40 pixels at the design size): the box is what
// answers a touch.
QString Finger_Check_Box_Style();

} // namespace pcs::ui
