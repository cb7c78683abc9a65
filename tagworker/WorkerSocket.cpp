#include "WorkerSocket.h"

#include "WorkerLimits.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool Send(const tagwire::Bytes& message)
{
    for (;;) {
        const ssize_t sent = ::send(kSocket, message.data(), message.size(), MSG_NOSIGNAL);
        if (sent >= 0 || errno != EINTR)
            return sent == static_cast<ssize_t>(message.size());
    }
}

ssize_t Receive(std::vector<std::uint8_t>& buffer, std::vector<int>& fds)
{
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * tagwire::kMaxBatch)];
    iovec io{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = ::recvmsg(kSocket, &message, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    fds.clear();
    for (cmsghdr* c = got > 0 ? CMSG_FIRSTHDR(&message) : nullptr; c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            fds.push_back(fd);
        }
    }
    if (got > 0 && (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0)
        return -1;
    return got;
}


bool StartServing(bool writing, unsigned long long memoryBudget)
{
    tagwire::Hello hello;
    hello.AddressLimit = workerlimits::LimitResources(memoryBudget);
    if (!workerlimits::MakeCpuTimer())
        return false;
    hello.Confined = workerlimits::Confine(writing);
    return Send(tagwire::Encode(hello));
}
