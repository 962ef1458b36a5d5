// A page of the settings sheet. The sheet asks a page whether it may be left
// (on switching pages and on OK) and, once every page agreed, lets each page
// put its values where they belong.
#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QLineEdit;

// Why a page cannot be left: the message and the edit that holds the value.
struct PageProblem {
    QString message;
    QLineEdit* field = nullptr;
};

// Shows the problem (caption "Ошибка", warning icon) on behalf of `owner`,
// then puts the focus on the edit with its whole text selected.
void reportProblem(const PageProblem& problem, QWidget* owner);

class SettingsPage : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    // The first value that keeps the page from being left, or none.
    virtual std::optional<PageProblem> check() const = 0;
    // Takes the controls' values over; called only when check() found nothing.
    virtual void store() = 0;
};
