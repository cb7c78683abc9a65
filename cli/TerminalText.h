#pragma once

#include <iosfwd>
#include <string_view>

// Names from the player, the file system or the command line can hold control characters, which a
// terminal would act on: an escape sequence can move the cursor, retitle the window or hide what
// was printed. Where standard output or standard error is a terminal, whatever goes to it
// through std::cout or std::cerr shows them as escapes instead ("\x1b", "\u009b"); only the line
// end stays as it is. Where it is a file or a pipe, the bytes go out as they are: that is data.
void EscapeControlsOnTerminals();

// Writes the program's own terminal controls (the progress line's carriage return and line
// clearing) to `out` as they stand.
void WriteTerminalControl(std::ostream& out, std::string_view control);

// True when a line redrawn in place must do without escape sequences: the terminal is a dumb
// one (TERM unset, empty or "dumb") or the user asked for plain output (NO_COLOR set).
bool PlainTerminal();

// Redraws the line shown on a terminal as `line`: a carriage return, the line, then the end of
// the line cleared, with ESC[K or on a plain terminal with spaces over `shownBefore` columns.
void RedrawTerminalLine(std::ostream& out, std::string_view line, std::size_t shownBefore);
