#include "progress_meter.h"

#include <string>

#include "memory_transfer.h"

namespace {

const char *AreaText(TransferArea area) {
    switch (area) {
    case TransferArea::InfoBlockRead: return "Reading identification block";
    case TransferArea::ConfigImageRead: return "Reading configuration image";
    case TransferArea::ConfigImageWrite: return "Writing configuration image";
    }
    return "Transfer";
}

std::string Retries(unsigned retries) {
    if (retries == 0) return "";
    return ", " + std::to_string(retries) + (retries == 1 ? " retry" : " retries");
}

}  // namespace

ProgressMeter::ProgressMeter(std::ostream &err, bool live, bool enabled)
    : err_(err), live_(live), enabled_(enabled) {}

ProgressMeter::~ProgressMeter() { EndLine(); }

void ProgressMeter::Show(const TransferProgress &p) {
    if (!enabled_) return;
    if (live_) {
        err_ << '\r' << AreaText(p.area) << ": mail " << p.mailsDone << '/' << p.mailsTotal
             << (!p.finished ? "" : p.result == 0 ? " done" : " failed") << Retries(p.mailsRetried);
        lineOpen_ = !p.finished;
        if (p.finished) err_ << '\n';
    } else if (p.finished) {
        err_ << AreaText(p.area) << ": " << p.mailsDone << '/' << p.mailsTotal << " mails"
             << Retries(p.mailsRetried) << (p.result == 0 ? "" : ", failed") << '\n';
    }
    err_.flush();
}

void ProgressMeter::EndLine() {
    if (!lineOpen_) return;
    err_ << '\n';
    lineOpen_ = false;
}
