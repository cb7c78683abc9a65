#include "OverwritePrompt.h"

#include "Interrupt.h"

#include <cerrno>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

// One line typed on standard input, without its end; nullopt at the end of the input and when
// Ctrl+C (or another caught signal) arrives before or while waiting: the buffered standard stream
// would take up the read again and leave the question waiting for a line that decides nothing.
std::optional<std::string> ReadAnswerLine()
{
    std::string line;
    for (;;) {
        if (!WaitForInputUnlessInterrupted(STDIN_FILENO))
            return std::nullopt;
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR && !Interrupted())
            continue;
        if (got <= 0 || Interrupted())
            return got == 0 && !line.empty() ? std::optional<std::string>(line) : std::nullopt;
        if (c == '\n')
            return line;
        line += c;
    }
}

} // namespace

OverwriteAnswer AskOverwriteOnTerminal(const std::string& destination)
{
    std::cerr << destination << '\n';
    for (;;) {
        std::cerr << "File already exists.  Overwirte? [y]es, [n]o, yes to [a]ll, n[o] to all, [c]ancel: " << std::flush;
        const std::optional<std::string> line = ReadAnswerLine();
        if (!line) {
            // Ctrl+D or Ctrl+C left the cursor after the question: what follows starts a line.
            std::cerr << '\n';
            return AnswerCancel;
        }
        const std::string& answer = *line;
        if (answer == "y" || answer == "Y" || answer == "yes")
            return AnswerYes;
        if (answer == "n" || answer == "N" || answer == "no")
            return AnswerNo;
        if (answer == "a" || answer == "A")
            return AnswerYesToAll;
        if (answer == "o" || answer == "O")
            return AnswerNoToAll;
        if (answer == "c" || answer == "C" || answer == "q" || answer == "Q")
            return AnswerCancel;
    }
}
