#include "asker.h"

#include <algorithm>
#include <deque>
#include <system_error>
#include <thread>

namespace gamesearch {

using Clock = std::chrono::steady_clock;

// Shared by the asker and its threads, which may outlive it.
struct Asker::Pool {
    std::mutex mutex;
    std::condition_variable work; // a question was put, or the asker went
    std::deque<std::shared_ptr<JobBase>> queue;
    int idle = 0;     // threads waiting for a question
    int starting = 0; // threads started that have not looked for one yet
    int running = 0;  // threads not given up
    bool closing = false;

    static void serve(const std::shared_ptr<Pool> &pool)
    {
        std::unique_lock lock(pool->mutex);
        --pool->starting;
        for (;;) {
            while (pool->queue.empty() && !pool->closing) {
                ++pool->idle;
                pool->work.wait(lock);
                --pool->idle;
            }
            if (pool->queue.empty()) {
                --pool->running;
                return;
            }
            const std::shared_ptr<JobBase> job = std::move(pool->queue.front());
            pool->queue.pop_front();
            job->started = true;
            job->startedAt = Clock::now();
            lock.unlock();
            job->runCaught();
            lock.lock();
            job->done = true;
            job->answered.notify_all();
            if (job->givenUp)
                return; // counted out when it was given up
        }
    }

    // Threads for the questions that no idle one will take, `more` at most,
    // up to the most in all. Called with the mutex held.
    void addThreads(const std::shared_ptr<Pool> &self, int more)
    {
        while (more-- > 0 && queue.size() > size_t(idle + starting) && running < MostThreads) {
            try {
                std::thread([self] { serve(self); }).detach();
            } catch (const std::system_error &) {
                return; // no thread to spare: those running take the questions
            }
            ++running;
            ++starting;
        }
    }
};

Asker::Asker(std::chrono::milliseconds stallLimit)
    : stallLimit_(stallLimit), pool_(std::make_shared<Pool>())
{}

Asker::~Asker()
{
    const std::lock_guard lock(pool_->mutex);
    pool_->closing = true;
    pool_->work.notify_all();
}

// A warm cache answers a question in microseconds: a thread or two take
// them all, and more would only cost their start. Where questions wait (a cold
// disk, a slow share), the threads double every millisecond of waiting.
constexpr int FirstThreads = 2;
constexpr std::chrono::milliseconds Waiting{1};

void Asker::submit(std::shared_ptr<JobBase> job)
{
    const std::lock_guard lock(pool_->mutex);
    pool_->queue.push_back(std::move(job));
    pool_->work.notify_one();
    pool_->addThreads(pool_, FirstThreads - pool_->running);
}

bool Asker::wait(JobBase &job)
{
    std::unique_lock lock(pool_->mutex);
    while (!job.done) {
        if (!job.started && pool_->running == 0) {
            // Not one thread could be started: the question is answered here.
            std::erase_if(pool_->queue, [&](const auto &queued) { return queued.get() == &job; });
            job.started = true;
            lock.unlock();
            job.runCaught();
            lock.lock();
            job.done = true;
        } else if (job.answered.wait_for(lock, Waiting) == std::cv_status::no_timeout) {
            continue;
        } else if (job.started && !job.done && Clock::now() >= job.startedAt + stallLimit_) {
            job.givenUp = true;
            --pool_->running;
            pool_->addThreads(pool_, 1);
            return false;
        } else {
            pool_->addThreads(pool_, std::max(pool_->running, 1));
        }
    }
    return true;
}

} // namespace gamesearch
