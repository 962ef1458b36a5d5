#include "settings/spin_button.h"

#include "settings/value_text.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QToolButton* arrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return button;
}

}  // namespace

CSpinButton::CSpinButton(QWidget* parent)
    : QWidget(parent),
      up_(arrowButton(Qt::UpArrow, "up", this)),
      down_(arrowButton(Qt::DownArrow, "down", this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void CSpinButton::setRange(int lower, int upper)
{
    lower_ = std::min(lower, upper);
    upper_ = std::max(lower, upper);
    position_ = std::clamp(position_, lower_, upper_);
}

void CSpinButton::setPosition(int position)
{
    position_ = std::clamp(position, lower_, upper_);
}

void CSpinButton::setBuddy(QLineEdit* edit)
{
    buddy_ = edit;
}

void CSpinButton::stepBy(int steps)
{
    if (buddy_ != nullptr)
        if (const auto typed = parseInteger(buddy_->text()))
            setPosition(*typed);
    position_ = std::clamp(position_ + steps, lower_, upper_);
    if (buddy_ != nullptr)
        buddy_->setText(QString::number(position_));
    emit positionChanged(position_);
}

void CSpinButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up)
        stepBy(1);
    else if (event->key() == Qt::Key_Down)
        stepBy(-1);
    else
        QWidget::keyPressEvent(event);
}
