// The ports the QRVX setup dialog offers.
#pragma once

#include <QStringList>

// Every device path \\.\com1 ... \\.\com99 that opens (it is closed again at
// once) or exists but cannot be opened, for instance because a program holds
// it; paths of devices that do not exist are left out. In text order, so that
// \\.\com10 comes before \\.\com2.
QStringList probeQrvxPorts();
