#pragma once

#include <stdexcept>
#include <string>

// Exit codes that scripts can rely on.
enum ExitCode : int {
    ExitDone = 0,        // everything asked for was done
    ExitSomeFailed = 1,  // the run went on past failures of single tracks
    ExitBadInput = 2,    // bad usage, or a database or settings that cannot be read
};

// Ends a command early: main prints the message as one line on standard error and exits with
// the code.
class CliError : public std::runtime_error {
public:
    explicit CliError(const std::string& message, ExitCode code = ExitBadInput)
        : std::runtime_error(message), Code(code)
    {
    }
    ExitCode GetCode() const { return Code; }

private:
    ExitCode Code;
};
