// What the threads of a station run hand to the one that acts: messages in order, and the lines
// of a byte stream (a worker's output, standard input) split on a thread of their own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

template <typename Message>
class MessageQueue {
public:
    void Push(Message message) {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back(std::move(message));
        }
        arrived_.notify_one();
    }

    // The next message, waiting at most `wait` for one.
    std::optional<Message> Pop(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, wait, [this] { return !messages_.empty(); }))
            return std::nullopt;
        Message message = std::move(messages_.front());
        messages_.pop_front();
        return message;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
};

// Reads with `read` (the count, 0 at the end) until the end and hands over every line without
// its line end (LF or CR LF), a last line without one included.
inline void ForEachLine(const std::function<std::size_t(char *, std::size_t)> &read,
                        const std::function<void(std::string)> &line) {
    std::string pending;
    char buffer[4096];
    auto deliver = [&](std::size_t end) {
        std::string text = pending.substr(0, end);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        line(std::move(text));
    };
    for (std::size_t got; (got = read(buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, got);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;
             pending.erase(0, end + 1))
            deliver(end);
    }
    if (!pending.empty()) deliver(pending.size());
}
