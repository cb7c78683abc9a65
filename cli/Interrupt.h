#pragma once

// Ctrl+C, a closed terminal (SIGHUP) or a plain kill (SIGTERM) must not leave a temporary file
// behind: once caught, the signal only marks the run as interrupted; the work in progress stops
// at its next check, cleans up, and the program then ends as the signal would have ended it.
void CatchInterrupts();
bool Interrupted();
// Ends the program with the caught signal; returns only when none was caught.
void EndIfInterrupted();
