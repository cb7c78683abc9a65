#include "TagReading.h"

#include "TagTrack.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

std::vector<TagReading> ReadTagsInParallel(const std::vector<const PlayerFile*>& files, const TagProgress& progress)
{
    const int total = static_cast<int>(files.size());
    std::vector<TagReading> results(files.size());
    if (total == 0)
        return results;

    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    int done = 0; // guarded by mutex
    const auto work = [&] {
        for (int i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < total;) {
            TagReading& result = results[static_cast<std::size_t>(i)];
            OneTrack track;
            result.Ok = ReadTagTrack(*files[static_cast<std::size_t>(i)], track, result.Reason, &result.Unreadable);
            if (result.Ok)
                result.Track.emplace(std::move(track));
            const std::lock_guard lock(mutex);
            result.Done = true;
            ++done;
            changed.notify_one();
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int workers = std::min(total, static_cast<int>(cores));
    std::vector<std::jthread> pool;
    pool.reserve(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: those running share the files
        }
    }
    if (pool.empty())
        work();

    int reported = 0;
    std::unique_lock lock(mutex);
    while (reported < total) {
        // A file that takes long (up to a second) has the count told again, so that the caller's
        // events keep running.
        if (!changed.wait_for(lock, std::chrono::milliseconds(30), [&] { return done != reported; })) {
            lock.unlock();
            stop = progress && !progress(reported, total);
            lock.lock();
            if (stop)
                break;
            continue;
        }
        const int now = done;
        lock.unlock();
        // Each count in turn, as when the files were read one after another.
        while (reported < now && !stop) {
            ++reported;
            if (progress && !progress(reported, total) && reported < total)
                stop = true;
        }
        lock.lock();
        if (stop)
            break;
    }
    lock.unlock();
    pool.clear(); // joins: each worker ends after its current file
    return results;
}
