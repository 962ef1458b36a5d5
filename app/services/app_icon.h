// The program's icon, drawn rather than loaded, so that it needs no image
// plug-in.
#pragma once

#include <QIcon>
#include <QPixmap>

// The icon of the windows, at 16, 32 and 48 pixels.
QIcon applicationIcon();

// The icon drawn at `size` pixels square, for the icon files of the desktop
// entry.
QPixmap applicationIconPixmap(int size);
