#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace wren {

/// Runs body(i) once for every i in [0, count) across up to hardware-concurrency threads, and
/// never more than `maxWidth`, the calling thread among them, and returns only when every call
/// has finished. Indices are handed out one at a time, so a slow item does not hold up a batch.
/// One item, or a width of one, runs on the calling thread alone. Calls for different indices may run at the same time, so `body` must only touch
/// what belongs to its index.
///
/// An exception from `body` on any thread (a std::bad_alloc under memory pressure, say) never
/// escapes that thread, which would end the process: it is caught there, no further index is
/// started, every thread is joined, and then the first exception is rethrown to the caller.
template <class Body>
void parallelFor(std::size_t count, Body&& body,
                 std::size_t maxWidth = std::numeric_limits<std::size_t>::max()) {
    if (count == 0) return;
    if (count == 1 || maxWidth <= 1) {
        for (std::size_t i = 0; i < count; ++i) body(i);
        return;
    }
    const std::size_t width = std::min<std::size_t>(
        {std::max(1u, std::thread::hardware_concurrency()), count, maxWidth});

    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const auto work = [&] {
        try {
            for (std::size_t i = next.fetch_add(1, std::memory_order_relaxed); i < count;
                 i = next.fetch_add(1, std::memory_order_relaxed)) {
                body(i);
            }
        } catch (...) {
            next.store(count, std::memory_order_relaxed);  // the others stop after their item
            const std::lock_guard lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(width - 1);
        for (std::size_t t = 1; t < width; ++t) {
            try {
                helpers.emplace_back(work);
            } catch (const std::system_error&) {
                break;  // out of threads: the ones we have, this one included, take the rest
            }
        }
        work();
    }  // the helpers join here
    if (failure) std::rethrow_exception(failure);
}

}  // namespace wren
