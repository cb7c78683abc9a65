#pragma once

// Ctrl+C, a closed terminal (SIGHUP) or a plain kill (SIGTERM) must not leave a temporary file
// behind: once caught, the signal only marks the run as interrupted; the work in progress stops
// at its next check, cleans up, and the program then ends as the signal would have ended it.
// A second signal ends the program at once. A signal that was ignored when the program started
// (`nohup`) stays ignored.
void CatchInterrupts();
bool Interrupted();
// Ends the program with the caught signal; returns only when none was caught.
void EndIfInterrupted();

// Waits until `fd` has something to read (or its end); false, without waiting, as soon as a
// caught signal has arrived, before the call or during the wait. A signal cannot slip in between
// the check and the wait: the handler also wakes the wait through a pipe.
bool WaitForInputUnlessInterrupted(int fd);
