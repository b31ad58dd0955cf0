// Closes every message box the window under test opens, from a thread of its own, and keeps what
// each showed: a test asserts on the texts and never hangs on a box. A box that will not close
// fails the test and ends the program after a deadline.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;
    bool errorIcon = false;
    // What the test asked to note while the box was open (enabled states of buttons).
    std::vector<bool> noted;
};

class MessageBoxWatcher {
public:
    // Watches the boxes of the thread uiThread; note (may be empty) runs on the watcher thread
    // while each box is open, before it is closed.
    explicit MessageBoxWatcher(DWORD uiThread, std::function<std::vector<bool>()> note = {});
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher &) = delete;
    MessageBoxWatcher &operator=(const MessageBoxWatcher &) = delete;

    // The boxes seen since the last call, in order.
    std::vector<SeenBox> Take();

private:
    void Run();
    HWND FindBox() const;

    DWORD uiThread_;
    std::function<std::vector<bool>()> note_;
    std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
