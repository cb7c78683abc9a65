#pragma once

#include "TagMessages.h"
#include "TagWorkerPage.h"

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// One tag reader process (varnel-tags), started with posix_spawn and talked to over a UNIX
// sequenced-packet socket, with a shared page on which it marks the file it is reading.
class TagWorker {
public:
    TagWorker() = default;
    ~TagWorker(); // ends the reader
    TagWorker(const TagWorker&) = delete;
    TagWorker& operator=(const TagWorker&) = delete;

    // Starts the reader at `program` and waits for its greeting; the errno of a failure (0 when
    // it runs). A writer (`writes`) tags copies instead, and may write the copies it is given.
    int Start(const std::string& program, bool writes = false);
    bool Running() const { return Pid > 0; }
    int Socket() const { return Sock; }
    const tagwire::Hello& Greeting() const { return Hello; }

    // Sends a batch with the files' descriptors (open for reading) in the order of its files.
    bool Send(const tagwire::Request& request, const std::vector<int>& fds);
    // Sends a message with the descriptors given.
    bool Send(const tagwire::Bytes& message, const std::vector<int>& fds);
    // Waits up to `ms` for one message (copied to `message`): false when none came in time or
    // the reader ended (Ended() then tells).
    bool Wait(int ms, tagwire::Bytes& message);
    // Receives one reply without waiting; none when there is none yet or the reader ended
    // (Ended() then tells) or broke the message format.
    std::optional<tagwire::Reply> Receive();
    bool Ended() const { return Broken; }

    // The file the reader marked last: its batch and place (none before the first).
    std::optional<std::pair<std::uint32_t, std::size_t>> Reading() const;

    // Ends the reader at once and waits for it; or, when `graceful`, closes its socket so that it
    // ends on its own (it does so between files) and waits for that.
    void Stop(bool graceful = false);

private:
    pid_t Pid = -1;
    int Sock = -1;
    TagWorkerPage* Page = nullptr;
    tagwire::Hello Hello;
    bool Broken = false;
    std::vector<std::uint8_t> Buffer;
};

// Where the tag reader is: $VARNEL_TAGS_WORKER when set; else varnel-tags beside the running
// program or in ../libexec/varnel from its folder (the build tree and the installed layout);
// else /usr/libexec/varnel/varnel-tags.
std::string TagWorkerProgram();
