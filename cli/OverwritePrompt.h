#pragma once

#include "OverwriteAnswer.h"

#include <string>

// Asks on the terminal whether to replace `destination`: the question on standard error, the
// answer read as a line from standard input. The end of input or an interrupted read answers
// Cancel; anything unrecognised asks again.
OverwriteAnswer AskOverwriteOnTerminal(const std::string& destination);
