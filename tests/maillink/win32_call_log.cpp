#include "win32_call_log.h"

#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

namespace {

std::mutex logMutex;
std::vector<Win32Call> calls;
std::map<std::string, DWORD> failures;
std::function<void(DCB &)> dcbChange;
std::map<std::string, void *> originals;  // the real functions, by name
std::map<void **, void *> patched;        // import slots we changed, with their old value

void Record(Win32Call call) {
    std::lock_guard<std::mutex> lock(logMutex);
    calls.push_back(std::move(call));
}

void Record(const char *name, std::string args) { Record(Win32Call{name, std::move(args), 0, {}, {}}); }

// True (with the last error set) when the test made this function fail.
bool Failing(const char *name) {
    std::lock_guard<std::mutex> lock(logMutex);
    const auto found = failures.find(name);
    if (found == failures.end()) return false;
    ::SetLastError(found->second);
    return true;
}

template <class Fn>
Fn Original(const char *name) {
    return reinterpret_cast<Fn>(originals.at(name));
}

std::string Hex(uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

DWORD FlagWord(const DCB &dcb) {
    DWORD flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char *>(&dcb) + 8, sizeof flags);
    return flags;
}

// ---- The recorders ------------------------------------------------------------------------

BOOL WINAPI HookBuildCommDCBA(LPCSTR def, LPDCB dcb) {
    Record("BuildCommDCBA", def);
    if (Failing("BuildCommDCBA")) return FALSE;
    const BOOL ok = Original<decltype(&::BuildCommDCBA)>("BuildCommDCBA")(def, dcb);
    if (ok && dcbChange) dcbChange(*dcb);
    return ok;
}

HANDLE WINAPI HookCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD attributes, HANDLE templateFile) {
    Record("CreateFileA", std::string(name) + ", " + Hex(access) + ", " + std::to_string(share) + ", " +
                              (security ? "security" : "null") + ", " + std::to_string(disposition) + ", " +
                              Hex(attributes) + ", " + (templateFile ? "template" : "null"));
    if (Failing("CreateFileA")) return INVALID_HANDLE_VALUE;
    return Original<decltype(&::CreateFileA)>("CreateFileA")(name, access, share, security, disposition, attributes,
                                                             templateFile);
}

BOOL WINAPI HookSetupComm(HANDLE file, DWORD in, DWORD out) {
    Record("SetupComm", std::to_string(in) + ", " + std::to_string(out));
    if (Failing("SetupComm")) return FALSE;
    return Original<decltype(&::SetupComm)>("SetupComm")(file, in, out);
}

BOOL WINAPI HookSetCommState(HANDLE file, LPDCB dcb) {
    Win32Call call{"SetCommState", std::to_string(dcb->BaudRate), FlagWord(*dcb), *dcb, {}};
    Record(std::move(call));
    if (Failing("SetCommState")) return FALSE;
    return Original<decltype(&::SetCommState)>("SetCommState")(file, dcb);
}

BOOL WINAPI HookSetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    Win32Call call{"SetCommTimeouts", "", 0, {}, *timeouts};
    Record(std::move(call));
    if (Failing("SetCommTimeouts")) return FALSE;
    return Original<decltype(&::SetCommTimeouts)>("SetCommTimeouts")(file, timeouts);
}

BOOL WINAPI HookPurgeComm(HANDLE file, DWORD flags) {
    Record("PurgeComm", std::to_string(flags));
    return Original<decltype(&::PurgeComm)>("PurgeComm")(file, flags);
}

BOOL WINAPI HookClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT status) {
    Record("ClearCommError", std::string(errors ? "errors" : "null") + ", " + (status ? "status" : "null"));
    return Original<decltype(&::ClearCommError)>("ClearCommError")(file, errors, status);
}

BOOL WINAPI HookReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped) {
    if (Failing("ReadFile")) {
        if (read) *read = 0;
        const DWORD error = ::GetLastError();
        Record("ReadFile", std::to_string(count) + " -> failed");
        ::SetLastError(error);
        return FALSE;
    }
    const BOOL ok = Original<decltype(&::ReadFile)>("ReadFile")(file, buffer, count, read, overlapped);
    Record("ReadFile", std::to_string(count) + (overlapped ? ", overlapped" : "") +
                           (read && *read == 0 ? " -> 0" : " -> data"));
    return ok;
}

BOOL WINAPI HookWriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    Record("WriteFile", std::to_string(count) + (overlapped ? ", overlapped" : ""));
    if (Failing("WriteFile")) return FALSE;
    return Original<decltype(&::WriteFile)>("WriteFile")(file, data, count, written, overlapped);
}

BOOL WINAPI HookCloseHandle(HANDLE handle) {
    Record("CloseHandle", "");
    return Original<decltype(&::CloseHandle)>("CloseHandle")(handle);
}

VOID WINAPI HookSleep(DWORD milliseconds) {
    Record("Sleep", std::to_string(milliseconds));
    Original<decltype(&::Sleep)>("Sleep")(milliseconds);
}

DWORD WINAPI HookGetLastError() {
    const DWORD code = Original<decltype(&::GetLastError)>("GetLastError")();
    Record("GetLastError", std::to_string(code));
    ::SetLastError(code);
    return code;
}

DWORD WINAPI HookFormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer, DWORD size,
                                va_list *arguments) {
    Record("FormatMessageA", Hex(flags) + ", " + (source ? "source" : "null") + ", " + std::to_string(id) + ", " +
                                 std::to_string(language) + ", " + std::to_string(size) + ", " +
                                 (arguments ? "arguments" : "null"));
    return Original<decltype(&::FormatMessageA)>("FormatMessageA")(flags, source, id, language, buffer, size,
                                                                    arguments);
}

const std::map<std::string, void *> &Recorders() {
    static const std::map<std::string, void *> recorders = {
        {"BuildCommDCBA", reinterpret_cast<void *>(&HookBuildCommDCBA)},
        {"CreateFileA", reinterpret_cast<void *>(&HookCreateFileA)},
        {"SetupComm", reinterpret_cast<void *>(&HookSetupComm)},
        {"SetCommState", reinterpret_cast<void *>(&HookSetCommState)},
        {"SetCommTimeouts", reinterpret_cast<void *>(&HookSetCommTimeouts)},
        {"PurgeComm", reinterpret_cast<void *>(&HookPurgeComm)},
        {"ClearCommError", reinterpret_cast<void *>(&HookClearCommError)},
        {"ReadFile", reinterpret_cast<void *>(&HookReadFile)},
        {"WriteFile", reinterpret_cast<void *>(&HookWriteFile)},
        {"CloseHandle", reinterpret_cast<void *>(&HookCloseHandle)},
        {"Sleep", reinterpret_cast<void *>(&HookSleep)},
        {"GetLastError", reinterpret_cast<void *>(&HookGetLastError)},
        {"FormatMessageA", reinterpret_cast<void *>(&HookFormatMessageA)},
    };
    return recorders;
}

void SetSlot(void **slot, void *value) {
    DWORD old = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    ::VirtualProtect(slot, sizeof *slot, old, &old);
}

}  // namespace

CallLog::CallLog() {
    BYTE *base = reinterpret_cast<BYTE *>(::GetModuleHandleA("maillink.dll"));
    if (base == nullptr) throw std::runtime_error("maillink.dll is not loaded");
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::lock_guard<std::mutex> lock(logMutex);
    for (auto *module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        const auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + module->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            const std::string name = reinterpret_cast<const char *>(byName->Name);
            const auto recorder = Recorders().find(name);
            if (recorder == Recorders().end()) continue;
            void **slot = reinterpret_cast<void **>(&slots->u1.Function);
            if (*slot == recorder->second) throw std::runtime_error("maillink.dll's imports are hooked already");
            originals[name] = *slot;
            patched[slot] = *slot;
            SetSlot(slot, recorder->second);
        }
    }
    calls.clear();
    failures.clear();
    dcbChange = nullptr;
}

CallLog::~CallLog() {
    std::lock_guard<std::mutex> lock(logMutex);
    for (const auto &[slot, old] : patched) SetSlot(slot, old);
    patched.clear();
    failures.clear();
    dcbChange = nullptr;
}

std::vector<Win32Call> CallLog::Calls() const {
    std::lock_guard<std::mutex> lock(logMutex);
    return calls;
}

std::vector<std::string> CallLog::Summary() const {
    std::vector<std::string> lines;
    std::string last;
    unsigned run = 0;
    auto flush = [&] {
        if (run == 0) return;
        lines.push_back(run == 1 ? last : last + " x " + std::to_string(run));
    };
    for (const Win32Call &call : Calls()) {
        const std::string text = call.name + "(" + call.args + ")";
        if (text == last) {
            ++run;
            continue;
        }
        flush();
        last = text;
        run = 1;
    }
    flush();
    return lines;
}

void CallLog::Clear() {
    std::lock_guard<std::mutex> lock(logMutex);
    calls.clear();
}

void CallLog::Fail(const std::string &name, DWORD error) {
    std::lock_guard<std::mutex> lock(logMutex);
    if (error == ERROR_SUCCESS) failures.erase(name);
    else failures[name] = error;
}

void CallLog::AfterBuildCommDcb(std::function<void(DCB &)> change) {
    std::lock_guard<std::mutex> lock(logMutex);
    dcbChange = std::move(change);
}
