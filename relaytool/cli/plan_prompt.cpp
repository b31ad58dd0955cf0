#include "plan_prompt.h"

#include <cctype>

namespace {

std::string_view Trimmed(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool Is(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
    return true;
}

}  // namespace

void StandardInput::DiscardTypedAhead() {
    if (!StandardInputIsTerminal()) return;
    FlushTerminalInput();
    pending_.clear();
}

bool StandardInput::ReadLine(std::string &line) {
    while (pending_.find('\n') == std::string::npos) {
        char buffer[256];
        const std::size_t got = ReadStandardInput(buffer, sizeof buffer);
        if (got == 0) {
            if (pending_.empty()) return false;
            break;  // a last line without its line end
        }
        pending_.append(buffer, got);
    }
    const std::size_t end = pending_.find('\n');
    line = pending_.substr(0, end);
    pending_.erase(0, end == std::string::npos ? pending_.size() : end + 1);
    return true;
}

PromptReply ReplyOf(std::string_view line) {
    const std::string_view answer = Trimmed(line);
    if (answer.empty()) return PromptReply::Go;
    if (Is(answer, "s") || Is(answer, "skip")) return PromptReply::Skip;
    if (Is(answer, "q") || Is(answer, "quit")) return PromptReply::Stop;
    return PromptReply::Unclear;
}

PromptReply AskToConnect(const std::string &name, const std::string &port, Console io) {
    if (io.in == nullptr) return PromptReply::Stop;
    io.in->DiscardTypedAhead();
    for (;;) {
        io.err << "Connect repeater \"" << name << "\" to " << port
               << " and press Enter (s skips, q stops) " << std::flush;
        std::string line;
        if (!io.in->ReadLine(line)) {
            io.err << '\n';
            return PromptReply::Stop;
        }
        const PromptReply reply = ReplyOf(line);
        if (reply != PromptReply::Unclear) return reply;
        io.err << "Press Enter alone to program it, s to skip it or q to stop.\n";
    }
}
