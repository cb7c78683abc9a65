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
    // Counted without a lock: the calling thread looks every few tens of milliseconds and is
    // woken only by the last file, rather than once per file (a switch of threads costs as much
    // as reading a small file's tags).
    std::atomic<int> done{0};
    std::mutex mutex;
    std::condition_variable finished;
    const auto work = [&] {
        for (int i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < total;) {
            TagReading& result = results[static_cast<std::size_t>(i)];
            OneTrack track;
            result.Ok = ReadTagTrack(*files[static_cast<std::size_t>(i)], track, result.Reason, &result.Unreadable);
            if (result.Ok)
                result.Track.emplace(std::move(track));
            result.Done = true;
            if (done.fetch_add(1) + 1 == total) {
                const std::lock_guard lock(mutex);
                finished.notify_one();
            }
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
    while (reported < total && !stop) {
        {
            // A file that takes long (up to a second) has the count told again, so that the
            // caller's events keep running.
            std::unique_lock lock(mutex);
            finished.wait_for(lock, std::chrono::milliseconds(30), [&] { return done.load() == total; });
        }
        const int now = done.load();
        if (now == reported) {
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
    pool.clear(); // joins: each worker ends after its current file
    return results;
}
