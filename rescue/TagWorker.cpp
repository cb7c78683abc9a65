#include "TagWorker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

constexpr int kSocket = 3;
constexpr int kPage = 4;
// A reader that has not greeted within this time is taken as one that cannot start.
constexpr int kGreetingMs = 10000;

bool IsProgram(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string TagWorkerProgram()
{
    if (const char* given = std::getenv("VARNEL_TAGS_WORKER"); given && *given)
        return given;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string folder(self, static_cast<std::size_t>(n));
        folder.resize(folder.rfind('/') + 1);
        for (const char* beside : {"varnel-tags", "../libexec/varnel/varnel-tags"}) {
            if (IsProgram(folder + beside))
                return folder + beside;
        }
    }
    return "/usr/libexec/varnel/varnel-tags";
}

TagWorker::~TagWorker()
{
    Stop();
}

int TagWorker::Start(const std::string& program, bool writes)
{
    Stop();
    Broken = false;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return errno;
    Sock = pair[0];
    const int page = ::memfd_create("varnel-tags-page", MFD_CLOEXEC);
    int error = page < 0 ? errno : 0;
    if (!error && ::ftruncate(page, sizeof(TagWorkerPage)) != 0)
        error = errno;
    void* mapped = error ? MAP_FAILED : ::mmap(nullptr, sizeof(TagWorkerPage), PROT_READ | PROT_WRITE, MAP_SHARED, page, 0);
    if (!error && mapped == MAP_FAILED)
        error = errno;
    if (!error)
        Page = new (mapped) TagWorkerPage;

    // Standard input and output lead nowhere; errors still reach the program's standard error.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, pair[1], kSocket);
    ::posix_spawn_file_actions_adddup2(&actions, page, kPage);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, kPage + 1);
    // Signals the program ignores or blocks (SIGPIPE, SIGHUP under nohup) are the reader's own.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char* const argv[] = {const_cast<char*>("varnel-tags"), const_cast<char*>(writes ? "--serve-writes" : "--serve"),
                          nullptr};
    if (!error)
        error = ::posix_spawn(&Pid, program.c_str(), &actions, &attributes, argv, environ);
    if (error)
        Pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::close(pair[1]);
    if (page >= 0)
        ::close(page);
    if (error) {
        Stop();
        return error;
    }

    Buffer.resize(tagwire::kMaxMessage);
    pollfd wait{Sock, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&wait, 1, kGreetingMs);
    } while (ready < 0 && errno == EINTR);
    const ssize_t got = ready > 0 ? ::recv(Sock, Buffer.data(), Buffer.size(), MSG_DONTWAIT) : -1;
    const auto hello = got > 0 ? tagwire::DecodeHello(Buffer.data(), static_cast<std::size_t>(got)) : std::nullopt;
    if (!hello || hello->Version != tagwire::kVersion) {
        Stop();
        return ENOEXEC; // a program that is not the reader, or one of another version
    }
    Hello = *hello;
    return 0;
}

bool TagWorker::Send(const tagwire::Request& request, const std::vector<int>& fds)
{
    return Send(tagwire::Encode(request), fds);
}

bool TagWorker::Wait(int ms, tagwire::Bytes& message)
{
    if (Broken || Sock < 0)
        return false;
    pollfd wait{Sock, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&wait, 1, ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return false;
    iovec io{Buffer.data(), Buffer.size()};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    ssize_t got;
    do {
        got = ::recvmsg(Sock, &header, MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got <= 0 || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
        Broken = true;
        return false;
    }
    message.assign(Buffer.begin(), Buffer.begin() + got);
    return true;
}

bool TagWorker::Send(const tagwire::Bytes& bytes, const std::vector<int>& fds)
{
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * tagwire::kMaxBatch)] = {};
    iovec io{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    if (!fds.empty()) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
    }
    ssize_t sent;
    do {
        sent = ::sendmsg(Sock, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(bytes.size()))
        Broken = true;
    return !Broken;
}

std::optional<tagwire::Reply> TagWorker::Receive()
{
    tagwire::Bytes message;
    if (!Wait(0, message))
        return std::nullopt;
    std::optional<tagwire::Reply> reply = tagwire::DecodeReply(message.data(), message.size());
    Broken = !reply;
    return reply;
}

std::optional<std::pair<std::uint32_t, std::size_t>> TagWorker::Reading() const
{
    const std::uint64_t mark = Page ? Page->Started.load(std::memory_order_acquire) : 0;
    if ((mark & 0xFFFFFFFFu) == 0)
        return std::nullopt;
    return std::pair<std::uint32_t, std::size_t>(static_cast<std::uint32_t>(mark >> 32), (mark & 0xFFFFFFFFu) - 1);
}

void TagWorker::Stop(bool graceful)
{
    if (graceful && Sock >= 0) {
        ::close(Sock);
        Sock = -1;
    }
    if (Pid > 0) {
        if (!graceful)
            ::kill(Pid, SIGKILL);
        while (::waitpid(Pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        Pid = -1;
    }
    if (Sock >= 0)
        ::close(Sock);
    Sock = -1;
    if (Page)
        ::munmap(Page, sizeof(TagWorkerPage));
    Page = nullptr;
    Broken = true;
}
