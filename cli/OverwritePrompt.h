#pragma once

#include <string>

// The answers of the window's overwrite prompt, with their numbers.
enum OverwriteAnswer : int {
    AnswerYes = 1,
    AnswerYesToAll = 2,
    AnswerNo = 3,
    AnswerNoToAll = 4,
    AnswerCancel = 5,
};

// Asks on the terminal whether to replace `destination`: the question on standard error, the
// answer read as a line from standard input. The end of input or an interrupted read answers
// Cancel; anything unrecognised asks again.
OverwriteAnswer AskOverwriteOnTerminal(const std::string& destination);
