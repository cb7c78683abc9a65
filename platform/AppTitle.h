#pragma once

// The application title: the caption of the program's message boxes, the first word of the idle
// status text ("Varnel Ready") and of the window titles, and the name under which the settings
// are kept. Plain C++, so that any layer can include it.
inline constexpr char kAppTitle[] = "Varnel";
