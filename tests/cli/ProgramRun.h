#pragma once

#include <string>
#include <vector>

// One run of a program: what it wrote and how it ended.
struct ProgramResult {
    int ExitCode = -1; // -1 when it did not exit normally
    int Signal = 0;    // the signal that ended it, if one did
    std::string Out;
    std::string Err;
};

// Runs `program` with `args`, standard input from /dev/null, in an environment that is this
// process's with `extraEnv` ("NAME=value") added on top. Blocks until the program ends.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& extraEnv = {});

// Runs `program` on a new pseudo-terminal that is its standard input, output and error, typing
// `input` into it: at once, or once the terminal has shown `typeOnceShown`. Out holds everything
// the terminal showed, Err stays empty. A program that shows nothing for half a minute is killed.
// A `signalBeforeTyping` other than 0 is sent to the program just before the input is typed.
ProgramResult RunProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                                   const std::vector<std::string>& extraEnv, const std::string& input,
                                   const std::string& typeOnceShown = {}, int signalBeforeTyping = 0);
