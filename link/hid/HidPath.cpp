#include "link/hid/HidPath.h"

#include <cctype>
#include <cstdio>
#include <string_view>

namespace nk7x {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool ParseHex(std::string_view s, uint32_t limit, uint32_t& out) {
    if (s.empty() || s.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                               ? c - '0'
                                               : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    if (v > limit)
        return false;
    out = v;
    return true;
}

} // namespace

std::string FormatHidPath(const HidInterfaceRecord& record, uint32_t collection, size_t collectionCount) {
    char markers[64];
    int n = std::snprintf(markers, sizeof markers, "vid_%04x&pid_%04x", record.vendorId, record.productId);
    if (record.interfaceNumber >= 0 && record.interfaceNumber <= 0xFF)
        n += std::snprintf(markers + n, sizeof markers - static_cast<size_t>(n), "&mi_%02x",
                           static_cast<unsigned>(record.interfaceNumber));
    if (collectionCount > 1)
        std::snprintf(markers + n, sizeof markers - static_cast<size_t>(n), "&col%02x", collection & 0xFFFF);
    std::string path = record.kind == HidNodeKind::Emulated ? "sim#" : "hid#";
    path += markers;
    path += '#';
    path += record.node;
    return path;
}

bool ParseHidPath(const std::string& path, HidPathParts& out) {
    out = HidPathParts{};
    const size_t first = path.find('#');
    if (first == std::string::npos)
        return false;
    const size_t second = path.find('#', first + 1);
    if (second == std::string::npos || second + 1 >= path.size())
        return false;
    std::string_view scheme(path.data(), first);
    if (EqualsNoCase(scheme, "hid"))
        out.kind = HidNodeKind::Hidraw;
    else if (EqualsNoCase(scheme, "sim"))
        out.kind = HidNodeKind::Emulated;
    else
        return false;

    std::string_view markers(path.data() + first + 1, second - first - 1);
    bool haveVid = false, havePid = false;
    while (!markers.empty()) {
        const size_t amp = markers.find('&');
        std::string_view token = markers.substr(0, amp);
        markers = amp == std::string_view::npos ? std::string_view() : markers.substr(amp + 1);
        uint32_t v = 0;
        if (StartsWithNoCase(token, "vid_") && !haveVid && ParseHex(token.substr(4), 0xFFFF, v)) {
            out.vendorId = static_cast<uint16_t>(v);
            haveVid = true;
        } else if (StartsWithNoCase(token, "pid_") && !havePid && ParseHex(token.substr(4), 0xFFFF, v)) {
            out.productId = static_cast<uint16_t>(v);
            havePid = true;
        } else if (StartsWithNoCase(token, "mi_") && out.interfaceNumber < 0 &&
                   ParseHex(token.substr(3), 0xFF, v)) {
            out.interfaceNumber = static_cast<int>(v);
        } else if (StartsWithNoCase(token, "col") && out.collection == 0 &&
                   ParseHex(token.substr(3), 0xFFFF, v) && v != 0) {
            out.collection = v;
        } else {
            return false;
        }
    }
    if (!haveVid || !havePid)
        return false;
    out.node = path.substr(second + 1);
    return true;
}

} // namespace nk7x
