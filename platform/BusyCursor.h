#pragma once

#include <QCursor>
#include <QGuiApplication>

// An application-wide cursor, shown for exactly as long as an object of this class lives, also
// when an exception passes. Objects may nest; each takes back only the cursor it set.
template <Qt::CursorShape Shape>
class OverrideCursor {
public:
    OverrideCursor() { QGuiApplication::setOverrideCursor(QCursor(Shape)); }
    ~OverrideCursor() { QGuiApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

// The busy cursor of a long task.
using BusyCursor = OverrideCursor<Qt::WaitCursor>;
// The normal cursor over a question asked in the middle of a task: the program then waits for
// the user, not the other way round.
using NormalCursor = OverrideCursor<Qt::ArrowCursor>;
