#pragma once

#include <QIcon>

// Varnel's own icon, in every size it ships with.
QIcon ProgramIcon();
