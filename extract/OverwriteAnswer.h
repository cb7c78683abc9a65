#pragma once

#include <cstdint>

// What the user answered about one existing destination file. The numbers are what extraction
// acts on; the window's buttons come in another order.
enum OverwriteAnswer : std::int32_t {
    AnswerYes = 1,
    AnswerYesToAll = 2,
    AnswerNo = 3,
    AnswerNoToAll = 4,
    AnswerCancel = 5,
};
