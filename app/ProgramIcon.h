#pragma once

#include <QIcon>

// Varnel's own icon, in every size it ships with.
QIcon ProgramIcon();

// The player, for "Open iPod Database": drawn in full colour with a dark outline, so that it
// stands out on a light toolbar and on a dark one alike.
QIcon PlayerIcon();
