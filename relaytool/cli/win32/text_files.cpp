// The text files of relaycfg on Windows: read whole; written to a temporary file beside the
// target, flushed to the disk, then moved into place (MoveFileExA), never leaving a half-written
// file behind.
#include <windows.h>

#include <string>

#include "text_files.h"
#include "system_text.h"

namespace {

constexpr DWORD kMaxFileSize = 1 << 20;

std::string Reason(const std::string &path, DWORD code) { return path + ": " + SystemText(code); }

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (Valid()) ::CloseHandle(handle_);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        const bool ok = ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 16));
        if (!::WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

bool ReadTextFile(const std::string &path, std::string &text, std::string &error) {
    Handle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        error = Reason(path, ::GetLastError());
        return false;
    }
    text.clear();
    char buffer[4096];
    while (true) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) {
            error = Reason(path, ::GetLastError());
            return false;
        }
        if (n == 0) break;
        text.append(buffer, n);
        if (text.size() > kMaxFileSize) {
            error = path + ": too large for a backup file";
            return false;
        }
    }
    return true;
}

bool WriteTextFile(const std::string &path, const std::string &text, bool replace, std::string &error,
                   bool *errorIsExists) {
    if (errorIsExists) *errorIsExists = false;
    std::string temporary;
    HANDLE made = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && made == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
        made = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (made == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (made == INVALID_HANDLE_VALUE) {
        error = Reason(path, ::GetLastError());
        return false;
    }
    Handle file(made);
    bool ok = WriteAll(file.Get(), text) && ::FlushFileBuffers(file.Get());
    DWORD failure = ::GetLastError();
    if (!file.Close() && ok) {
        ok = false;
        failure = ::GetLastError();
    }
    if (ok) {
        // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing name.
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        ok = ::MoveFileExA(temporary.c_str(), path.c_str(), flags) != 0;
        failure = ::GetLastError();
        if (!ok && !replace && (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS) && errorIsExists)
            *errorIsExists = true;
    }
    if (!ok) {
        ::DeleteFileA(temporary.c_str());
        error = Reason(path, failure);
    }
    return ok;
}
