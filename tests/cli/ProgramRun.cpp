#include "ProgramRun.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
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

} // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStore)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore(extraEnv);
    for (char** e = environ; *e; ++e)
        envStore.emplace_back(*e); // the first of two equal names wins in getenv
    std::vector<char*> envp;
    for (std::string& entry : envStore)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string outPath = TempOutput("out");
    const std::string errPath = TempOutput("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_TRUNC, 0);

    ProgramResult result;
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
        }
        if (WIFEXITED(status))
            result.ExitCode = WEXITSTATUS(status);
    }
    result.Out = ReadAllAndRemove(outPath);
    result.Err = ReadAllAndRemove(errPath);
    return result;
}
