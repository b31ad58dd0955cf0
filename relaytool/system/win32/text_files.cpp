// The text files on Windows: read whole; replaced through a temporary file beside the
// target, flushed to the disk, then moved into place (MoveFileExA); created new with CREATE_NEW;
// appended to with FILE_APPEND_DATA. Only disk files are read or written: a name such as COM2,
// CON or NUL opens a device, which would never end a read (or would take the text).
#include <windows.h>

#include <string>

#include "text_files.h"
#include "system_text.h"

namespace {

constexpr DWORD kMaxFileSize = 1 << 20;

std::string Reason(const std::string &path, DWORD code) { return path + ": " + SystemText(code); }

std::string NotAFile(const std::string &path) { return path + ": not a regular file"; }

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
    bool IsDiskFile() const { return ::GetFileType(handle_) == FILE_TYPE_DISK; }
    HANDLE Release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool Close() {
        const bool ok = ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, const char *text, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1 << 16));
        if (!::WriteFile(file, text + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// Writes text into a file just made (a disk file, or it is refused), flushes and closes it; on
// any failure the file is deleted again.
bool FillNewFile(Handle &file, const std::string &name, const std::string &text, DWORD &failure) {
    if (!file.IsDiskFile()) {
        file.Close();
        failure = ERROR_BAD_FILE_TYPE;
        return false;
    }
    bool ok = WriteAll(file.Get(), text.data(), text.size()) && ::FlushFileBuffers(file.Get());
    failure = ::GetLastError();
    if (!file.Close() && ok) {
        ok = false;
        failure = ::GetLastError();
    }
    if (!ok) ::DeleteFileA(name.c_str());
    return ok;
}

bool CreateNew(const std::string &path, const std::string &text, std::string &error, bool *errorIsExists) {
    Handle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD code = ::GetLastError();
        if (errorIsExists) *errorIsExists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = Reason(path, code);
        return false;
    }
    DWORD failure = 0;
    if (FillNewFile(file, path, text, failure)) return true;
    error = failure == ERROR_BAD_FILE_TYPE ? NotAFile(path) : Reason(path, failure);
    return false;
}

bool Replace(const std::string &path, const std::string &text, std::string &error) {
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
    DWORD failure = 0;
    if (!FillNewFile(file, temporary, text, failure)) {
        error = failure == ERROR_BAD_FILE_TYPE ? NotAFile(path) : Reason(path, failure);
        return false;
    }
    if (!::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH | MOVEFILE_REPLACE_EXISTING)) {
        failure = ::GetLastError();
        ::DeleteFileA(temporary.c_str());
        error = Reason(path, failure);
        return false;
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
    if (!file.IsDiskFile()) {
        error = NotAFile(path);
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
    return replace ? Replace(path, text, error) : CreateNew(path, text, error, errorIsExists);
}

AppendFile::~AppendFile() {
    if (IsOpen()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool AppendFile::Open(const std::string &path, std::string &error) {
    Handle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        error = Reason(path, ::GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (!file.IsDiskFile() || !::GetFileSizeEx(file.Get(), &size)) {
        error = NotAFile(path);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(file.Release());
    wasEmpty_ = size.QuadPart == 0;
    path_ = path;
    return true;
}

bool AppendFile::Append(const std::string &text, std::string &error) {
    if (AppendRaw(text.data(), text.size())) return true;
    error = Reason(path_, ::GetLastError());
    return false;
}

bool AppendFile::AppendRaw(const char *text, std::size_t size) {
    return IsOpen() && WriteAll(reinterpret_cast<HANDLE>(handle_), text, size);
}
