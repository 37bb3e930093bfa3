#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FrameReport.h"
#include "FrameSource.h"

namespace Markeye {

// A frame for a worker of the pool: its number among the frames tracked,
// its place among the inputs and its name and time.
struct TFrameJob
{
    size_t number = 0;
    size_t index = 0;
    TFrameInfo info;
};

// Tracks frames on several threads, each with its own worker (a tracker is
// never shared between threads), and hands their reports back in the order
// the frames were given. At most WINDOW_PER_THREAD frames per thread are
// given out ahead of the next report handed back, so that memory stays
// bounded however long the run.
class TrackPool
{
public:
    static constexpr size_t WINDOW_PER_THREAD = 4;

    // What one thread runs: reads and tracks the job's frame.
    class IWorker
    {
    public:
        virtual ~IWorker() = default;
        virtual TFrameReport process(const TFrameJob& i_job) = 0;
    };

    // Owns the workers, one thread each. i_deliver is given each report in
    // order, on the thread that calls submit() and finish().
    TrackPool(std::vector<std::unique_ptr<IWorker>> i_workers, std::function<void(TFrameReport&)> i_deliver);
    // Stops the threads; frames not tracked yet are dropped.
    ~TrackPool();
    TrackPool(const TrackPool&) = delete;
    TrackPool& operator=(const TrackPool&) = delete;

    // Queues a frame, first delivering the reports that are ready; waits
    // while the window is full. Rethrows what a worker threw for a frame,
    // when its report is due.
    void submit(const TFrameJob& i_job);
    // Delivers every report left.
    void finish();

private:
    // A frame's outcome: its report, or what its worker threw.
    struct TOutcome
    {
        TFrameReport report;
        std::exception_ptr fault;
    };

    void work(IWorker* io_worker);
    // Delivers the reports ready in order, waiting until at most i_left
    // frames are out.
    void deliverUntil(size_t i_left);

    std::vector<std::unique_ptr<IWorker>> _workers;
    std::function<void(TFrameReport&)> _deliver;
    size_t _window;
    std::mutex _mutex;
    std::condition_variable _work_ready;
    std::condition_variable _outcome_ready;
    // Jobs not taken yet, by their place in the order given.
    std::deque<std::pair<size_t, TFrameJob>> _queue;
    // Outcomes not delivered yet, by place.
    std::map<size_t, TOutcome> _done;
    size_t _submitted = 0;
    size_t _delivered = 0;
    bool _stopping = false;
    std::vector<std::thread> _threads;
};

}  // namespace Markeye
