// An up-down control without an edit of its own: a range of positions, the
// current position and two arrow buttons that step it. A page maps the
// position to the value its edit shows; with a buddy edit the control reads
// the edit's whole number before a step and writes the new position into it.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class CSpinButton : public QWidget {
    Q_OBJECT

public:
    explicit CSpinButton(QWidget* parent = nullptr);

    // A range given upside down is taken the right way round.
    void setRange(int lower, int upper);
    int lower() const { return lower_; }
    int upper() const { return upper_; }

    int position() const { return position_; }
    // Clamped into the range; no signal.
    void setPosition(int position);

    void setBuddy(QLineEdit* edit);

    // What one click on an arrow does (negative steps go down).
    void stepBy(int steps);

signals:
    // The operator moved the position.
    void positionChanged(int position);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    int lower_ = 0;
    int upper_ = 100;
    int position_ = 0;
    QLineEdit* buddy_ = nullptr;
};
