#include "TrackPool.h"

#include <utility>

namespace Markeye {

TrackPool::TrackPool(std::vector<std::unique_ptr<IWorker>> i_workers, std::function<void(TFrameReport&)> i_deliver)
    : _workers(std::move(i_workers)), _deliver(std::move(i_deliver)), _window(WINDOW_PER_THREAD * _workers.size())
{
    for (const std::unique_ptr<IWorker>& worker : _workers) {
        _threads.emplace_back(&TrackPool::work, this, worker.get());
    }
}

TrackPool::~TrackPool()
{
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _stopping = true;
    }
    _work_ready.notify_all();
    for (std::thread& thread : _threads) {
        thread.join();
    }
}

void TrackPool::submit(const TFrameJob& i_job)
{
    deliverUntil(_window - 1);
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _queue.emplace_back(_submitted++, i_job);
    }
    _work_ready.notify_one();
}

void TrackPool::finish()
{
    deliverUntil(0);
}

void TrackPool::deliverUntil(size_t i_left)
{
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        const auto next = _done.find(_delivered);
        if (next == _done.end()) {
            if (_submitted - _delivered <= i_left) {
                return;
            }
            _outcome_ready.wait(lock);
            continue;
        }
        TOutcome outcome = std::move(next->second);
        _done.erase(next);
        _delivered++;
        // Printing is done without the lock, so that the workers go on.
        lock.unlock();
        if (outcome.fault) {
            std::rethrow_exception(outcome.fault);
        }
        _deliver(outcome.report);
        lock.lock();
    }
}

void TrackPool::work(IWorker* io_worker)
{
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        _work_ready.wait(lock, [this] { return _stopping || !_queue.empty(); });
        if (_stopping) {
            return;
        }
        std::pair<size_t, TFrameJob> job = std::move(_queue.front());
        _queue.pop_front();
        lock.unlock();
        TOutcome outcome;
        try {
            outcome.report = io_worker->process(job.second);
        } catch (...) {
            outcome.fault = std::current_exception();
        }
        lock.lock();
        _done.emplace(job.first, std::move(outcome));
        _outcome_ready.notify_one();
    }
}

}  // namespace Markeye
