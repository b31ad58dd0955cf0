#include "memory_fields.h"

#include "image_layout.h"

using namespace layout;

const std::vector<NamedBytes> &NamedBytesOf(MemoryArea area) {
    static const std::vector<NamedBytes> info = {
        {kDeviceType, 1, "device type (61 \"a\": supported repeater)"},
    };
    static const std::vector<NamedBytes> image = {
        {kRepeaterRpn, 1, "repeater RPN"},
        {kHopControl, 1, "HOP control (82 ignored, 02 obeyed)"},
        {kMonitorBeep, 1, "monitor beep (bit 7)"},
        {kClearedBeforeSave1, 2, "cleared before every save"},
        {kFixedA8, 1, "always A8"},
        {kParentRfpi, kRfpiSize - 1, "parent RFPI"},
        {kParentRpn, 1, "parent RFPI, last byte: parent RPN"},
    };
    return area == MemoryArea::Info ? info : image;
}

std::string ByteName(MemoryArea area, std::size_t offset) {
    for (const NamedBytes &named : NamedBytesOf(area))
        if (offset >= named.offset && offset < named.offset + named.length) return named.name;
    return {};
}
