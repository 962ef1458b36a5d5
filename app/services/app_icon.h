// The program's icon, drawn rather than loaded, so that it needs no image
// plug-in.
#pragma once

#include <QIcon>

QIcon applicationIcon();
