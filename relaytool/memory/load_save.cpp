#include "load_save.h"

#include <algorithm>
#include <array>

#include "image_layout.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "workflow_state.h"

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
    const WorkflowResult device = CheckDevice();
    if (device.outcome != WorkflowOutcome::Done) return device;

    const int8_t code = WriteConfigImage(0, kImageCount);
    if (code != 0) return Failed(code);
    return {};
}
