// The port lists of the settings sheet and the QRVX setup: each port under
// the name the operator knows (COM3), for a USB adapter with its maker,
// product and serial number beside it, and the choice that names the port in
// use whatever form its stored name has (com3, COM3, \\.\COM3).
#pragma once

#include "platform/device_names.h"

#include <QComboBox>
#include <QList>
#include <QString>

#include <vector>

struct PortChoice {
    QString name;  // what is stored: COM3
    QString text;  // what the list shows: COM3, or COM3 (maker product, серийный номер S)
};

QList<PortChoice> portChoices(const std::vector<platform::DevicePort>& ports);

// The row of the port `portName` names, or -1.
int rowOfPort(const QList<PortChoice>& choices, const QString& portName);

// The port name after the operator chose `chosen` in a list: the stored name
// as the operator wrote it while it names the same port, else `chosen`.
QString chosenPortName(const QString& stored, const QString& chosen);

// Fills `combo` with `choices` (the name as each item's data) and selects the
// port `portName` names.
void showPortChoices(QComboBox& combo, const QList<PortChoice>& choices, const QString& portName);
// The port chosen in `combo` in place of `stored`; `stored` when none is.
QString portChosenIn(const QComboBox& combo, const QString& stored);
