#pragma once

#include "Settings.h"

#include <QList>
#include <QRect>

// Where the main window's outer frame goes, given the bounds stored in the settings, the
// available area of the primary screen and the full areas of all screens. Bounds larger than
// that available area, or lying wholly outside every screen, are brought onto the primary screen
// (made no larger than its available area and moved inside it); other bounds are used as stored.
// Any stored values are safe, the extremes of 32-bit integers included.
QRect PlaceWindowBounds(const WindowBounds& stored, const QRect& primaryArea, const QList<QRect>& screens);
