#pragma once

#include "TagMessages.h"

#include <sys/types.h>

#include <vector>

// The reader's end of its socket to the program (descriptor 3).
constexpr int kSocket = 3;

// Sends one message; false when the program is gone.
bool Send(const tagwire::Bytes& message);

// Receives one message and the descriptors beside it (at most a batch of them) into `fds`; the
// message's length, 0 when the program closed the socket, or -1.
ssize_t Receive(std::vector<std::uint8_t>& buffer, std::vector<int>& fds);

// Puts the reader under its limits (WorkerLimits.h), with writes to the descriptors it is given
// allowed when `writing`, and greets the program with them; false when the program is gone or
// there is no timer of processor time.
bool StartServing(bool writing, unsigned long long memoryBudget);
