#include "interruption.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "exit_codes.h"
#include "text_files.h"

namespace {

// What the handlers read. The texts are static storage, filled while no shield stands (and so
// while no handler looks at them), and never freed.
std::atomic<bool> g_shielded{false};
std::atomic<bool> g_counting{false};
std::atomic<unsigned> g_stops{0};
std::atomic<unsigned> g_millisecondsLeft{0};
std::atomic<unsigned> g_retries{0};

StopTexts &Texts() {
    static StopTexts texts;
    return texts;
}

// FinishingWriteLine in the parts between which the handler puts the port and the seconds.
constexpr const char *kFinishingParts[] = {
    "Stopping: finishing the write of ", ", about ",
    " s (a second Ctrl-C stops at once, leaving the unit half-written)\n"};

// The time left in whole seconds, at least one.
unsigned SecondsLeft(unsigned milliseconds) {
    const unsigned seconds = (milliseconds + 500) / 1000;
    return seconds == 0 ? 1 : seconds;
}

void Say(const char *text) { WriteToStandardError(text, std::strlen(text)); }
void Say(const std::string &text) { WriteToStandardError(text.data(), text.size()); }

// value in decimal into digits (at least 11 bytes); its length.
std::size_t Decimal(unsigned value, char *digits) {
    char reversed[10];
    std::size_t n = 0;
    do {
        reversed[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (std::size_t i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    return n;
}

}  // namespace

WriteShield::WriteShield(StopTexts texts) {
    Texts() = std::move(texts);
    g_stops = 0;
    g_millisecondsLeft = 0;
    g_retries = 0;
    g_shielded = true;
    InstallStopHandlers();
}

WriteShield::~WriteShield() {
    g_shielded = false;
    RemoveStopHandlers(StopAsked());
}

void WriteShield::Update(std::chrono::milliseconds left, unsigned retries) {
    g_millisecondsLeft = left.count() < 0 ? 0u : static_cast<unsigned>(left.count());
    g_retries = retries;
}

bool WriteShield::StopAsked() const { return g_stops.load() > 0; }

std::string FinishingWriteLine(const std::string &port, std::chrono::milliseconds left) {
    const unsigned milliseconds = left.count() < 0 ? 0u : static_cast<unsigned>(left.count());
    return kFinishingParts[0] + port + kFinishingParts[1] +
           std::to_string(SecondsLeft(milliseconds)) + kFinishingParts[2];
}

StopCounter::StopCounter() {
    g_stops = 0;
    g_counting = true;
    InstallStopHandlers();
}

StopCounter::~StopCounter() {
    g_counting = false;
    RemoveStopHandlers(Count() > 0);
}

unsigned StopCounter::Count() const { return g_stops.load(); }

void StopArrived() {
    if (g_counting.load()) {
        g_stops.fetch_add(1);
        return;
    }
    if (!g_shielded.load()) return;
    const int savedErrno = errno;
    const StopTexts &texts = Texts();
    char digits[12];
    if (g_stops.fetch_add(1) == 0) {
        if (texts.lineOpen) Say("\n");
        Say(kFinishingParts[0]);
        Say(texts.port);
        Say(kFinishingParts[1]);
        WriteToStandardError(digits, Decimal(SecondsLeft(g_millisecondsLeft.load()), digits));
        Say(kFinishingParts[2]);
        errno = savedErrno;
        return;
    }
    if (texts.lineOpen) Say("\n");
    Say(texts.stopped);
    if (texts.log != nullptr) {
        texts.log->AppendRaw(texts.logLine.data(), texts.logLine.size());
        std::size_t n = Decimal(g_retries.load(), digits);
        digits[n++] = '\n';
        texts.log->AppendRaw(digits, n);
    }
    EndProcessNow(kExitInterrupted);
}
