#pragma once

#include <QCursor>
#include <QGuiApplication>

// The application-wide busy cursor, shown for exactly as long as an object of this class lives,
// also when an exception passes. Objects may nest; each takes back only the cursor it set.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The normal cursor over a question asked in the middle of a task, for as long as an object of
// this class lives: the program then waits for the user, not the other way round.
class NormalCursor {
public:
    NormalCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor)); }
    ~NormalCursor() { QGuiApplication::restoreOverrideCursor(); }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};
