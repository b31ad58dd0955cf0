#include "progress_meter.h"

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

}  // namespace

ProgressMeter::ProgressMeter(std::ostream &err, bool live, bool enabled) : err_(err), live_(live) {
    if (!enabled) return;
    SetTransferProgressHook([this](const TransferProgress &p) {
        if (live_) {
            err_ << '\r' << AreaText(p.area) << ": mail " << p.mailsDone << '/' << p.mailsTotal;
            lineOpen_ = true;
            if (p.finished) {
                err_ << (p.result == 0 ? " done" : " failed") << '\n';
                lineOpen_ = false;
            }
        } else if (p.finished) {
            err_ << AreaText(p.area) << ": " << p.mailsDone << '/' << p.mailsTotal << " mails"
                 << (p.result == 0 ? "" : ", failed") << '\n';
        }
        err_.flush();
    });
}

ProgressMeter::~ProgressMeter() {
    SetTransferProgressHook({});
    EndLine();
}

void ProgressMeter::EndLine() {
    if (!lineOpen_) return;
    err_ << '\n';
    lineOpen_ = false;
}
