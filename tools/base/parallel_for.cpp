#include "base/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace deepglass {

void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& body)
{
    if (count == 0) return;
    const std::size_t helpers =
        std::min<std::size_t>(count, static_cast<std::size_t>(std::max(threads, 1))) - 1;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr first;
    std::mutex firstLock;
    auto work = [&] {
        for (std::size_t i; !failed.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) {
            try {
                body(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(firstLock);
                if (!first) first = std::current_exception();
                failed = true;
            }
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    try {
        for (std::size_t t = 0; t < helpers; ++t) pool.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started, and this one, take every item.
    }
    work();
    for (std::thread& thread : pool) thread.join();
    if (first) std::rethrow_exception(first);
}

} // namespace deepglass
