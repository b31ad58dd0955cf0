#include "message_box_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr auto kCloseDeadline = std::chrono::seconds(10);

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct BoxContents {
    std::string text;
    bool errorIcon = false;
};

BOOL CALLBACK ReadChild(HWND child, LPARAM out) {
    auto &contents = *reinterpret_cast<BoxContents *>(out);
    if (ClassOf(child) != "Static") return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        const auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        contents.errorIcon = icon != nullptr && icon == LoadIconA(nullptr, IDI_HAND);
    } else if (const std::string text = TextOf(child); !text.empty()) {
        contents.text = text;
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(DWORD uiThread, std::function<std::vector<bool>()> note)
    : uiThread_(uiThread), note_(std::move(note)), thread_([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> MessageBoxWatcher::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<SeenBox> boxes;
    boxes.swap(seen_);
    return boxes;
}

HWND MessageBoxWatcher::FindBox() const {
    HWND found = nullptr;
    EnumThreadWindows(
        uiThread_,
        [](HWND window, LPARAM out) -> BOOL {
            if (IsWindowVisible(window) && ClassOf(window) == "#32770") {
                *reinterpret_cast<HWND *>(out) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void MessageBoxWatcher::Run() {
    while (!stop_) {
        const HWND box = FindBox();
        if (box == nullptr) {
            std::this_thread::sleep_for(kPoll);
            continue;
        }
        SeenBox seen;
        seen.caption = TextOf(box);
        BoxContents contents;
        EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&contents));
        seen.text = contents.text;
        seen.errorIcon = contents.errorIcon;
        if (note_) seen.noted = note_();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(seen);
        }
        // Press OK.
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
        const auto deadline = std::chrono::steady_clock::now() + kCloseDeadline;
        while (IsWindow(box) && IsWindowVisible(box)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the message box \"" << seen.text << "\" did not close";
                std::fflush(stdout);
                std::_Exit(3);
            }
            std::this_thread::sleep_for(kPoll);
        }
    }
}
