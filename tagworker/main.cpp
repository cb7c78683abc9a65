// varnel-tags: the tag reader that varnel and varnel-cli start, as many as there are cores, to
// read the tags of a player's media files. TagLib is not safe on hostile input, so it runs here,
// in a process of its own under hard limits (WorkerLimits.h), never in the program itself: a
// file that crashes it, or passes a limit, ends this process and costs only that file.
//
// The program hands over a socket as descriptor 3 and a shared page as descriptor 4. Each
// request names a batch of files and carries their descriptors, open for reading; before each
// file the page tells which one is being read, and the results of a batch come back in replies
// (TagMessages.h). The reader opens nothing itself. It ends when the program closes the socket.

#include "TagFile.h"
#include "TagMessages.h"
#include "TagWorkerPage.h"
#include "WorkerLimits.h"
#include "WorkerSocket.h"
#include "CopyWriting.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kPage = 4;
// What a file's reading may take beyond the reader's size at its start.
constexpr unsigned long long kMemoryBudget = 256ull << 20;
constexpr int kCpuSeconds = 1;

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--serve-writes") == 0)
        return ServeWrites(kMemoryBudget, kCpuSeconds);
    if (argc != 2 || std::strcmp(argv[1], "--serve") != 0) {
        std::fprintf(stderr, "varnel-tags: the tag reader of varnel and varnel-cli, started by them; "
                             "it is not run by hand\n");
        return 2;
    }
#if VARNEL_TAGS_TEST_HOOK
    // Tests only: a file of the first name ends the reader as a crash would; at one of the
    // second the reader stalls without spending processor time.
    const char* const abortOn = std::getenv("VARNEL_TAGS_ABORT_ON");
    const char* const stallOn = std::getenv("VARNEL_TAGS_STALL_ON");
#endif
    void* mapped = ::mmap(nullptr, sizeof(TagWorkerPage), PROT_READ | PROT_WRITE, MAP_SHARED, kPage, 0);
    if (mapped == MAP_FAILED)
        return 3;
    ::close(kPage);
    auto* page = static_cast<TagWorkerPage*>(mapped);

    // Everything that allocates for good does so before the limits.
    std::vector<std::uint8_t> buffer(tagwire::kMaxMessage);
    tagwire::Bytes reply;
    reply.reserve(tagwire::kMaxMessage);
    std::vector<int> fds;
    if (!StartServing(false, kMemoryBudget))
        return 3;

    for (;;) {
        const ssize_t got = Receive(buffer, fds);
        if (got == 0)
            return 0; // the program is done
        const auto request = got > 0 ? tagwire::DecodeRequest(buffer.data(), static_cast<std::size_t>(got)) : std::nullopt;
        if (!request || request->Files.size() != fds.size())
            return 3;
        reply.clear();
        for (std::size_t i = 0; i < fds.size(); ++i) {
            page->Started.store(TagWorkerPage::Mark(request->Batch, i), std::memory_order_release);
#if VARNEL_TAGS_TEST_HOOK
            if (abortOn && request->Files[i].second == abortOn)
                std::abort();
            char wait;
            if (stallOn && request->Files[i].second == stallOn)
                ::recv(kSocket, &wait, 1, MSG_PEEK); // nothing comes before the batch is answered
#endif
            workerlimits::ArmCpuTimer(kCpuSeconds);
            const TagResult result = ReadTagFile(fds[i], request->Files[i].first);
            workerlimits::ArmCpuTimer(0);
            ::close(fds[i]);
            const auto index = static_cast<std::uint8_t>(i);
            if (!tagwire::Append(reply, request->Batch, index, result)) {
                if (!Send(reply))
                    return 3;
                reply.clear();
                tagwire::Append(reply, request->Batch, index, result);
            }
        }
        if (!reply.empty() && !Send(reply))
            return 3;
    }
}
