#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace gamesearch {

// Puts the search's questions to the file system on threads of its own, many
// at once: a cold disk or a network share answers a folder of prefixes in the
// time of a few requests instead of one after another. A question that has
// not answered `stallLimit` after a thread took it is given up: its thread may stay
// in the kernel until its file system answers (a FUSE wait cannot be taken
// back), and another thread takes its place.
class Asker {
    struct Pool;

public:
    // The most questions under way at once. Enough for a cold library of
    // hundreds of prefixes at 10 ms per request to answer well within a
    // second; each thread is cheap while it waits.
    static constexpr int MostThreads = 64;

    explicit Asker(std::chrono::milliseconds stallLimit);
    ~Asker();
    Asker(const Asker &) = delete;
    Asker &operator=(const Asker &) = delete;

    // An answer to come. The question holds what it needs by value: a thread
    // given up may outlive the search.
    template <class T> class Pending {
        friend class Asker;
        struct Job;
        std::shared_ptr<Job> job_;
    };

    template <class T> Pending<T> put(std::function<T()> question)
    {
        Pending<T> pending;
        pending.job_ = std::make_shared<typename Pending<T>::Job>();
        pending.job_->question = std::move(question);
        submit(pending.job_);
        return pending;
    }

    // The answer, or nothing when the question was put more than the stall
    // limit ago and has not answered. Waiting for a free thread does not count.
    template <class T> std::optional<T> await(const Pending<T> &pending)
    {
        if (!wait(*pending.job_))
            return std::nullopt;
        return std::move(pending.job_->answer);
    }

    template <class T> std::optional<T> ask(std::function<T()> question)
    {
        return await(put(std::move(question)));
    }

private:
    struct JobBase {
        virtual ~JobBase() = default;
        virtual void run() = 0;
        // A question that throws (out of memory) has no answer.
        void runCaught()
        {
            try {
                run();
            } catch (...) {
            }
        }
        std::condition_variable answered; // with the pool's mutex
        bool started = false;
        bool done = false;
        bool givenUp = false;
        std::chrono::steady_clock::time_point startedAt;
    };

    void submit(std::shared_ptr<JobBase> job);
    bool wait(JobBase &job);

    std::chrono::milliseconds stallLimit_;
    std::shared_ptr<Pool> pool_;
};

template <class T> struct Asker::Pending<T>::Job final : Asker::JobBase {
    void run() override { answer = question(); }
    std::function<T()> question;
    std::optional<T> answer;
};

} // namespace gamesearch
