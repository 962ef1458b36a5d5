#include "settings/port_choices.h"

namespace {

QString canonical(const QString& name)
{
    return QString::fromStdString(platform::canonicalDeviceName(name.toStdString()));
}

}  // namespace

QList<PortChoice> portChoices(const std::vector<platform::DevicePort>& ports)
{
    QList<PortChoice> choices;
    for (const platform::DevicePort& port : ports) {
        PortChoice choice;
        choice.name = QString::fromStdString(port.name);
        choice.text = choice.name;
        if (!port.description.empty())
            choice.text += QStringLiteral(" (") + QString::fromStdString(port.description) + QStringLiteral(")");
        choices << choice;
    }
    return choices;
}

int rowOfPort(const QList<PortChoice>& choices, const QString& portName)
{
    const QString wanted = canonical(portName);
    if (wanted.isEmpty())
        return -1;
    for (int row = 0; row < choices.size(); ++row)
        if (canonical(choices[row].name) == wanted)
            return row;
    return -1;
}

QString chosenPortName(const QString& stored, const QString& chosen)
{
    const QString was = canonical(stored);
    return !was.isEmpty() && was == canonical(chosen) ? stored : chosen;
}

void showPortChoices(QComboBox& combo, const QList<PortChoice>& choices, const QString& portName)
{
    combo.clear();
    for (const PortChoice& choice : choices)
        combo.addItem(choice.text, choice.name);
    combo.setCurrentIndex(rowOfPort(choices, portName));
}

QString portChosenIn(const QComboBox& combo, const QString& stored)
{
    if (combo.currentIndex() < 0)
        return stored;
    return chosenPortName(stored, combo.currentData().toString());
}
