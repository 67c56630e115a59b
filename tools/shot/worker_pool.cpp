#include "shot/worker_pool.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace deepglass {

void ForEachInParallel(std::size_t count, int workers, const std::function<void(std::size_t, int)>& work)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&](int worker) {
        while (!stop.load()) {
            const std::size_t index = next.fetch_add(1);
            if (index >= count) return;
            try {
                work(index, worker);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                if (!failure) failure = std::current_exception();
                stop = true;
            }
        }
    };
    std::vector<std::jthread> threads;
    for (int worker = 1; worker < workers && static_cast<std::size_t>(worker) < count; ++worker)
        threads.emplace_back(run, worker);
    run(0);
    threads.clear(); // joins
    if (failure) std::rethrow_exception(failure);
}

} // namespace deepglass
