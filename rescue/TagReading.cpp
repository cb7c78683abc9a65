#include "TagReading.h"

#include "TagTrack.h"
#include "TagWorker.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
// A reader that has marked no new file for this long is ended, and its file with it.
constexpr auto kWatchdog = std::chrono::seconds(5);
constexpr int kTickMs = 30;
// Replacements in a row without a file to blame, after which a reader's place is given up.
constexpr int kMostStrikes = 3;

// Opens a file of the player for a reader: read only, never blocking on a device or pipe that
// slipped in, and without touching its access time where the user may ask that.
int OpenForReading(const std::string& path)
{
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.c_str(), kFlags);
    return fd;
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Place {
    TagWorker Worker;
    std::uint32_t Batch = 0;
    std::vector<std::size_t> Files; // indices into the files being read
    std::vector<int> Fds;
    std::vector<bool> Answered;
    std::size_t Open = 0; // files of the batch not yet answered
    std::uint64_t Mark = 0;
    Clock::time_point MarkedAt;
    int Strikes = 0;
    bool Busy() const { return Open > 0; }
};

class Reading {
public:
    Reading(const std::vector<const PlayerFile*>& files, std::vector<TagReading>& results)
        : Files(files), Results(results)
    {
        for (std::size_t i = 0; i < files.size(); ++i)
            Pending.push_back(i);
    }

    // Starts the readers; false when none would start (every file then says why).
    bool Start(std::size_t count)
    {
        Program = TagWorkerProgram();
        for (std::size_t i = 0; i < count; ++i) {
            Place& place = Places.emplace_back();
            if (const int error = place.Worker.Start(Program); error != 0)
                StartError = error;
        }
        if (std::none_of(Places.begin(), Places.end(), [](const Place& p) { return p.Worker.Running(); })) {
            FailPending();
            return false;
        }
        return true;
    }

    // One round: new batches for idle readers, then the replies and deaths of up to kTickMs.
    void Step()
    {
        for (Place& place : Places) {
            if (!place.Busy() && place.Worker.Running())
                Dispatch(place);
        }
        if (std::none_of(Places.begin(), Places.end(), [](const Place& p) { return p.Worker.Running(); }))
            FailPending();
        std::vector<pollfd> waits;
        for (Place& place : Places) {
            if (place.Busy())
                waits.push_back({place.Worker.Socket(), POLLIN, 0});
        }
        if (waits.empty())
            return;
        if (::poll(waits.data(), waits.size(), kTickMs) < 0 && errno != EINTR)
            return;
        const auto now = Clock::now();
        for (Place& place : Places) {
            if (!place.Busy())
                continue;
            while (const auto reply = place.Worker.Receive())
                Take(place, *reply);
            if (place.Worker.Ended() && place.Busy()) {
                Replace(place);
                continue;
            }
            const auto reading = place.Worker.Reading();
            const std::uint64_t mark = reading ? TagWorkerPage::Mark(reading->first, reading->second) : 0;
            if (mark != place.Mark) {
                place.Mark = mark;
                place.MarkedAt = now;
            } else if (place.Busy() && now - place.MarkedAt > kWatchdog) {
                Replace(place);
            }
        }
    }

    int Done() const { return DoneCount; }
    void StopAll()
    {
        for (Place& place : Places) {
            place.Worker.Stop(!place.Busy());
            CloseBatch(place);
        }
    }

private:
    void Finish(std::size_t file, TagReading reading)
    {
        reading.Done = true;
        Results[file] = std::move(reading);
        ++DoneCount;
    }

    void Fail(std::size_t file, std::string reason)
    {
        TagReading reading;
        reading.Reason = std::move(reason);
        reading.Unreadable = true;
        Finish(file, std::move(reading));
    }

    void FailPending()
    {
        // Readers given up after ending again and again without a file to blame.
        const std::string reason = StartError ? "the tag reader could not be started (" + Program + ": " +
                                                    std::strerror(StartError) + ")"
                                              : kUnsafeReason;
        for (const std::size_t file : Pending)
            Fail(file, reason);
        Pending.clear();
    }

    void Dispatch(Place& place)
    {
        CloseBatch(place);
        const std::size_t readers = Places.size();
        // Small runs are shared out in smaller batches, so that every reader has some.
        const std::size_t size = std::clamp<std::size_t>(Pending.size() / (4 * readers), 1, tagwire::kMaxBatch);
        tagwire::Request request;
        request.Batch = ++Batches;
        while (!Pending.empty() && place.Files.size() < size) {
            const std::size_t file = Pending.front();
            Pending.pop_front();
            const int fd = OpenForReading(Files[file]->Path);
            if (fd < 0) {
                Fail(file, std::strerror(errno));
                continue;
            }
            place.Files.push_back(file);
            place.Fds.push_back(fd);
            request.Files.emplace_back(MediaKindOf(Files[file]->Location), BaseName(Files[file]->Path));
        }
        if (place.Files.empty())
            return;
        place.Batch = request.Batch;
        place.Answered.assign(place.Files.size(), false);
        place.Open = place.Files.size();
        const auto reading = place.Worker.Reading();
        place.Mark = reading ? TagWorkerPage::Mark(reading->first, reading->second) : 0;
        place.MarkedAt = Clock::now();
        if (!place.Worker.Send(request, place.Fds))
            Replace(place);
    }

    void Take(Place& place, const tagwire::Reply& reply)
    {
        if (reply.Batch != place.Batch)
            return;
        for (const auto& [index, result] : reply.Results) {
            if (index >= place.Files.size() || place.Answered[index])
                continue;
            place.Answered[index] = true;
            --place.Open;
            const std::size_t file = place.Files[index];
            Finish(file, TrackFromResult(*Files[file], result));
        }
        place.Strikes = 0;
        if (!place.Busy())
            CloseBatch(place);
    }

    // The reader ended or stalled: the file it was reading is blamed, the rest of its batch
    // goes back to the front of the queue, and a new reader takes its place.
    void Replace(Place& place)
    {
        const auto reading = place.Worker.Reading();
        place.Worker.Stop();
        bool blamed = false;
        for (std::size_t i = place.Files.size(); i-- > 0;) {
            if (place.Answered[i])
                continue;
            if (reading && reading->first == place.Batch && reading->second == i) {
                Fail(place.Files[i], kUnsafeReason);
                blamed = true;
            } else {
                Pending.push_front(place.Files[i]);
            }
        }
        place.Open = 0;
        CloseBatch(place);
        place.Strikes = blamed ? 0 : place.Strikes + 1;
        if (place.Strikes >= kMostStrikes)
            return;
        if (const int error = place.Worker.Start(Program); error != 0)
            StartError = error;
    }

    void CloseBatch(Place& place)
    {
        for (const int fd : place.Fds)
            ::close(fd);
        place.Fds.clear();
        place.Files.clear();
        place.Answered.clear();
        place.Open = 0;
    }

    const std::vector<const PlayerFile*>& Files;
    std::vector<TagReading>& Results;
    std::deque<std::size_t> Pending;
    std::deque<Place> Places; // never moved: each holds a process
    std::string Program;
    int StartError = 0;
    std::uint32_t Batches = 0;
    int DoneCount = 0;
};

} // namespace

std::vector<TagReading> ReadTagsInParallel(const std::vector<const PlayerFile*>& files, const TagProgress& progress)
{
    const int total = static_cast<int>(files.size());
    std::vector<TagReading> results(files.size());
    if (total == 0)
        return results;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    Reading reading(files, results);
    reading.Start(std::min<std::size_t>(files.size(), cores));
    int reported = 0;
    bool stop = false;
    while (reported < total && !stop) {
        if (reading.Done() < total)
            reading.Step();
        const int now = reading.Done();
        if (now == reported) {
            // A file that takes long (up to a few seconds) has the count told again, so that
            // the caller's events keep running.
            stop = progress && !progress(reported, total);
            continue;
        }
        // Each count in turn, as when the files were read one after another.
        while (reported < now && !stop) {
            ++reported;
            if (progress && !progress(reported, total) && reported < total)
                stop = true;
        }
    }
    reading.StopAll();
    return results;
}
