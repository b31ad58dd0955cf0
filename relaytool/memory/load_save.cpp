#include "load_save.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "backup_file.h"
#include "image_layout.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "workflow_state.h"

// The workflow's program-wide state (workflow_state.h).
bool DataLoaded = false;
char ParkLastDigit = '\0';

namespace {

constexpr auto kInfoCount = static_cast<uint8_t>(layout::kInfoBlockSize);
constexpr auto kImageCount = static_cast<uint8_t>(layout::kImageSize);

WorkflowResult Failed(int8_t code) { return {WorkflowOutcome::TransferFailed, code}; }

// The identification read both sequences start with; Done when a supported repeater answered.
WorkflowResult CheckDevice() {
    const int8_t code = ReadInfoBlock(0, kInfoCount);
    if (code != 0) return Failed(code);
    if (InfoBlock[layout::kDeviceType] != layout::kSupportedDevice) {
        return {WorkflowOutcome::UnsupportedDevice, 0};
    }
    return {};
}

// The device's image and the identification block, handed to keep when the image was read whole.
void KeepPrevious(const PreviousMemoryKeeper &keep) {
    RepeaterMemory previous;
    if (ReadConfigImageInto(previous.image.data(), 0, kImageCount) != 0) return;
    std::copy_n(InfoBlock, previous.info.size(), previous.info.begin());
    try {
        keep(previous);
    } catch (...) {
        // Whatever went wrong in keeping it, the Save it guards must not be stopped by it.
    }
}

// The Save sequence; keep, when not empty, first gets what the write will overwrite.
WorkflowResult Save(ImageBytes &readBack, const PreviousMemoryKeeper &keep) {
    const WorkflowResult device = CheckDevice();
    if (device.outcome != WorkflowOutcome::Done) return device;
    if (keep) KeepPrevious(keep);

    const int8_t code = WriteConfigImage(0, kImageCount);
    if (code != 0) return Failed(code);

    readBack.fill(0);
    const int8_t readCode = ReadConfigImageInto(readBack.data(), 0, kImageCount);
    if (readCode != 0) return {WorkflowOutcome::SaveNotTaken, readCode};
    const int offset = FirstCheckedDifference(ConfigImage, readBack.data(), readBack.size());
    if (offset < 0) return {};
    const auto at = static_cast<std::size_t>(offset);
    return {WorkflowOutcome::SaveNotTaken, 0, offset, ConfigImage[at], readBack[at]};
}

}  // namespace

WorkflowResult LoadFromRepeater() {
    std::array<uint8_t, layout::kImageSize> before{};
    std::copy_n(ConfigImage, before.size(), before.begin());

    const WorkflowResult device = CheckDevice();
    if (device.outcome != WorkflowOutcome::Done) return device;

    const int8_t code = ReadConfigImage(0, kImageCount);
    if (code != 0) {
        std::copy(before.begin(), before.end(), ConfigImage);
        return Failed(code);
    }
    DataLoaded = true;
    return {};
}

WorkflowResult SaveToRepeater() {
    ImageBytes readBack{};
    return SaveToRepeaterWithReadBack(readBack);
}

WorkflowResult SaveToRepeaterWithReadBack(ImageBytes &readBack) { return Save(readBack, {}); }

WorkflowResult SaveToRepeaterKeepingPrevious(const PreviousMemoryKeeper &keep) {
    ImageBytes readBack{};
    return Save(readBack, keep);
}

bool IsUncheckedByte(std::size_t offset) {
    return offset == layout::kClearedBeforeSave1 || offset == layout::kClearedBeforeSave2;
}

int FirstCheckedDifference(const uint8_t *written, const uint8_t *readBack, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (written[i] != readBack[i] && !IsUncheckedByte(i)) return static_cast<int>(i);
    }
    return -1;
}

std::string SaveCheckMessage(const WorkflowResult &result) {
    if (result.outcome != WorkflowOutcome::SaveNotTaken) return {};
    // A read-back that failed proves nothing either way: the user is told to save again all the
    // same, since writing the same image twice is harmless.
    if (result.mismatchOffset < 0) {
        return "The Save did not take: the image could not be read back to check it: " +
               TransferErrorText(result.code) + " Press Save again.";
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "The Save did not take: byte %d (0x%02X) reads back 0x%02X instead of 0x%02X. "
                  "Press Save again.",
                  result.mismatchOffset, static_cast<unsigned>(result.mismatchOffset),
                  static_cast<unsigned>(result.readBack), static_cast<unsigned>(result.written));
    return text;
}
