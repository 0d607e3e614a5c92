#pragma once

// std::chrono's durations come with <condition_variable>: <chrono> itself holds a "µs" literal
// that the Windows build's Shift-JIS execution character set cannot take.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace ansi {

// A call that a share that stopped answering may hang (a stat, an open of a folder), run on a
// thread of its own so that its caller waits for it only as long as it chooses. The thread owns
// all it uses and ends whenever the call does, long after the caller gave up if need be.
template <typename Result> class BoundedCall
{
public:
    explicit BoundedCall(std::function<Result()> call)
    {
        try {
            std::thread([answer = m_answer, call = std::move(call)] {
                Result result = call();
                const std::lock_guard lock(answer->mutex);
                answer->result = std::move(result);
                answer->ready.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            m_started = false; // no thread to be had: no answer either
        }
    }

    // The answer, when it came within `wait`.
    template <typename Rep, typename Period>
    [[nodiscard]] std::optional<Result> waitFor(std::chrono::duration<Rep, Period> wait) const
    {
        std::unique_lock lock(m_answer->mutex);
        if (m_started)
            m_answer->ready.wait_for(lock, wait, [&] { return m_answer->result.has_value(); });
        return m_answer->result;
    }

    // The answer, if it has come.
    [[nodiscard]] std::optional<Result> answer() const
    {
        const std::lock_guard lock(m_answer->mutex);
        return m_answer->result;
    }

private:
    struct Answer
    {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<Result> result;
    };
    std::shared_ptr<Answer> m_answer = std::make_shared<Answer>();
    bool m_started = true;
};

} // namespace ansi
