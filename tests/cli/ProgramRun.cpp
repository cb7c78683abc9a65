#include "ProgramRun.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string ReadAllAndRemove(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ::unlink(path.c_str());
    return text;
}

std::string TempOutput(const char* name)
{
    std::string path = "/tmp/varnel-run-" + std::to_string(::getpid()) + "-" + name + "-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("cannot make a temporary file");
    ::close(fd);
    return path;
}

// The argument and environment vectors of a child, kept alive with their texts.
struct ChildVectors {
    ChildVectors(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
        : ArgStore{program}, EnvStore(extraEnv)
    {
        ArgStore.insert(ArgStore.end(), args.begin(), args.end());
        for (std::string& arg : ArgStore)
            Argv.push_back(arg.data());
        Argv.push_back(nullptr);
        for (char** e = environ; *e; ++e)
            EnvStore.emplace_back(*e); // the first of two equal names wins in getenv
        for (std::string& entry : EnvStore)
            Envp.push_back(entry.data());
        Envp.push_back(nullptr);
    }
    std::vector<std::string> ArgStore;
    std::vector<std::string> EnvStore;
    std::vector<char*> Argv;
    std::vector<char*> Envp;
};

void WaitForExit(pid_t pid, ProgramResult& result)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

} // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& extraEnv)
{
    ChildVectors child(program, args, extraEnv);
    const std::string outPath = TempOutput("out");
    const std::string errPath = TempOutput("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_TRUNC, 0);

    ProgramResult result;
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, child.Argv.data(), child.Envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0)
        WaitForExit(pid, result);
    result.Out = ReadAllAndRemove(outPath);
    result.Err = ReadAllAndRemove(errPath);
    return result;
}

ProgramResult RunProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                                   const std::vector<std::string>& extraEnv, const std::string& input,
                                   const std::string& typeOnceShown, int signalBeforeTyping)
{
    ChildVectors child(program, args, extraEnv);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    if (pid == 0) {
        ::execve(program.c_str(), child.Argv.data(), child.Envp.data());
        ::_exit(127);
    }
    // The terminal keeps typed lines until the program reads them, one line per read.
    bool typed = false;
    auto type = [&] {
        if (signalBeforeTyping != 0)
            ::kill(pid, signalBeforeTyping);
        if (::write(terminal, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
            throw std::runtime_error("cannot type into the pseudo-terminal");
        typed = true;
    };
    if (typeOnceShown.empty())
        type();
    ProgramResult result;
    char buffer[4096];
    for (;;) {
        if (!typed && result.Out.find(typeOnceShown) != std::string::npos)
            type();
        pollfd ready{terminal, POLLIN, 0};
        if (::poll(&ready, 1, 30'000) == 0) {
            ::kill(pid, SIGKILL); // it hangs
            break;
        }
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0)
            result.Out.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break; // EIO once the program has closed its side
    }
    ::close(terminal);
    WaitForExit(pid, result);
    return result;
}
