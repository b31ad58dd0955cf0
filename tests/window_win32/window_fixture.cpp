#include "window_fixture.h"

#include "memory_buffers.h"
#include "port_settings.h"
#include "workflow_state.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

POINT Middle(HWND control) {
    RECT area{};
    GetClientRect(control, &area);
    return {area.right / 2, area.bottom / 2};
}

// The bytes of a simulator memory file's lines that start with "config".
std::vector<uint8_t> ConfigBytesOf(const std::string &path) {
    std::ifstream file(path);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        if (!(words >> word) || word != "config") continue;
        while (words >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

std::vector<uint8_t> sampleConfig;

// A new, empty folder under the user's temporary folder.
std::string NewTemporaryFolder() {
    static unsigned counter = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "relaytool-window-test-" + std::to_string(GetCurrentProcessId()) +
                               "-" + std::to_string(++counter);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace

std::vector<uint8_t> SampleConfig() { return sampleConfig; }

std::string WindowTest::SettingsPath() {
    Win32Services system;
    return system.SettingsWritePath();
}

std::string WindowTest::ReadSettings() {
    std::ifstream file(SettingsPath(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<uint8_t> WindowTest::RepeaterConfig(const char *memoryFileVariable) {
    const char *path = std::getenv(memoryFileVariable);
    if (path == nullptr) throw std::runtime_error(std::string(memoryFileVariable) + " is not set (run through tests/wine)");
    return ConfigBytesOf(path);
}

std::vector<std::string> WindowTest::AutomaticBackups() const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(localAppData_ + "\\relaycfg\\backups", ec))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

void WindowTest::SetUp() {
    if (sampleConfig.empty()) sampleConfig = RepeaterConfig("RELAY_WINE_SIM2");
    localAppData_ = NewTemporaryFolder();
    _putenv_s("LOCALAPPDATA", localAppData_.c_str());
    // The program-wide state of the memory layer, as a fresh program has it.
    std::memset(ConfigImage, 0, sizeof ConfigImage);
    std::memset(InfoBlock, 0, sizeof InfoBlock);
    DataLoaded = false;
    ParkLastDigit = '\0';
    PortSettings = PortSettingsRecord{};

    RemoveDirectoryA(SettingsPath().c_str());
    DeleteFileA(SettingsPath().c_str());
    if (const auto settings = Settings()) std::ofstream(SettingsPath(), std::ios::binary) << *settings;
    boxes_ = std::make_unique<MessageBoxWatcher>(GetCurrentThreadId(), [this] {
        return std::vector<bool>{Enabled(ControlId::LoadButton), Enabled(ControlId::SaveButton),
                                 Enabled(ControlId::Button1)};
    });
    OpenWindow();
}

void WindowTest::OpenWindow() {
    window_ = std::make_unique<FormWindow>(GetModuleHandleA(nullptr), system_);
    ShowWindow(window_->Handle(), SW_SHOWNORMAL);
    UpdateWindow(window_->Handle());
    Pump();
}

void WindowTest::TearDown() {
    window_.reset();
    Pump();
    const auto left = Boxes();
    for (const SeenBox &box : left) ADD_FAILURE() << "message box not expected by the test: " << box.text;
    boxes_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(localAppData_, ignored);
}

void WindowTest::Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

std::string WindowTest::Text(ControlId id) {
    char text[256] = {};
    GetWindowTextA(Control(id), text, sizeof text);
    return text;
}

bool WindowTest::Checked(ControlId id) { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool WindowTest::Enabled(ControlId id) { return IsWindowEnabled(Control(id)) != FALSE; }
ControlId WindowTest::Focused() { return window_->ControlOf(GetFocus()); }

std::vector<std::string> WindowTest::PortEntries() {
    const HWND combo = Control(ControlId::ComboCOMPort);
    std::vector<std::string> entries;
    const int count = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        SendMessageA(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
        entries.emplace_back(text);
    }
    return entries;
}

void WindowTest::Click(ControlId id) {
    const HWND control = Control(id);
    const POINT at = Middle(control);
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    Pump();
}

void WindowTest::ClickAndSelectAll(ControlId field) {
    Click(field);
    SendMessageA(Control(field), EM_SETSEL, 0, -1);
}

void WindowTest::Type(const std::string &chars) {
    for (char c : chars) {
        SendMessageA(GetFocus(), WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
        Pump();
    }
}

void WindowTest::PressKey(WPARAM virtualKey, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(GetFocus(), WM_KEYDOWN, virtualKey, 1);
    SendMessageA(GetFocus(), WM_KEYUP, virtualKey, LPARAM(0xC0000001));
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    Pump();
}

void WindowTest::PressAltKey(char letter) {
    constexpr LPARAM kAltDown = LPARAM(1) << 29;
    const WPARAM key = WPARAM(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
    const HWND target = GetFocus() ? GetFocus() : window_->Handle();
    SendMessageA(target, WM_SYSKEYDOWN, key, kAltDown | 1);
    SendMessageA(GetFocus() ? GetFocus() : window_->Handle(), WM_SYSCHAR, WPARAM(static_cast<unsigned char>(letter)),
                 kAltDown | 1);
    SendMessageA(GetFocus() ? GetFocus() : window_->Handle(), WM_SYSKEYUP, key, kAltDown | LPARAM(0xC0000001));
    Pump();
}

void WindowTest::ChoosePort(const std::string &entry) {
    const HWND combo = Control(ControlId::ComboCOMPort);
    const LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(entry.c_str()));
    ASSERT_NE(index, CB_ERR) << entry << " is not in the port list";
    SendMessageA(combo, CB_SETCURSEL, WPARAM(index), 0);
    Pump();
}

std::vector<std::string> WindowTest::BoxTexts() {
    std::vector<std::string> texts;
    for (const SeenBox &box : Boxes()) texts.push_back(box.text);
    return texts;
}
