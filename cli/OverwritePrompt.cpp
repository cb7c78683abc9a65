#include "OverwritePrompt.h"

#include <iostream>

OverwriteAnswer AskOverwriteOnTerminal(const std::string& destination)
{
    std::cerr << destination << '\n';
    for (;;) {
        std::cerr << "File already exists.  Overwirte? [y]es, [n]o, yes to [a]ll, n[o] to all, [c]ancel: " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer))
            return AnswerCancel;
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
