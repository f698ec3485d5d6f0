// The path of one HID collection: "hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw3" for a hidraw node,
// "sim#...#/folder/NAME-mi01.sock" for an emulated one. The markers come before the node, so a node
// path can never be mistaken for a marker.
#pragma once

#include <cstdint>
#include <string>

#include "platform/HidBackend.h"

namespace nk7x {

struct HidPathParts {
    HidNodeKind kind = HidNodeKind::Hidraw;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int interfaceNumber = -1; // -1: no "&mi_" marker
    uint32_t collection = 0;  // 0: no "&col" marker (the interface has one collection)
    std::string node;
};

// "&colNN" is written only when the interface has more than one collection.
std::string FormatHidPath(const HidInterfaceRecord& record, uint32_t collection, size_t collectionCount);

// False for anything FormatHidPath cannot have made.
bool ParseHidPath(const std::string& path, HidPathParts& out);

} // namespace nk7x
