#include "tools/sim/SimKinds.h"

#include "link/KindDescriptors.h"
#include "tools/sim/SimMemory.h"

namespace nk7x {
namespace {

// The keyboard's defaults, which the other kinds replace with their own.
constexpr const char* kKeyboardName = "kbd1";
// The shipped devices' ids; the program ships none for the mouse and the headset, so the emulator
// picks its own (its rows file names them to the program).
constexpr uint16_t kKeyboardVendor = Describe(DeviceFamily::Keyboard).vendorId;
constexpr uint16_t kKeyboardProduct = Describe(DeviceFamily::Keyboard).productId;
constexpr uint16_t kMouseVendor = Describe(DeviceFamily::MousePad).vendorId;
constexpr uint16_t kMouseProduct = 0x5001;
constexpr uint16_t kReceiverProduct = 0x5002;
constexpr uint16_t kPadProduct = Describe(DeviceFamily::MousePad).productId;
constexpr uint16_t kHeadsetVendor = kKeyboardVendor;
constexpr uint16_t kHeadsetProduct = 0x6533;

const char* DefaultName(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
        return "mouse1";
    case SimKind::Receiver:
        return "rcv1";
    case SimKind::Pad:
        return "pad1";
    case SimKind::Headset:
        return "headset1";
    case SimKind::Keyboard:
        break;
    }
    return kKeyboardName;
}

uint16_t DefaultProduct(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
        return kMouseProduct;
    case SimKind::Receiver:
        return kReceiverProduct;
    case SimKind::Pad:
        return kPadProduct;
    case SimKind::Headset:
        return kHeadsetProduct;
    case SimKind::Keyboard:
        break;
    }
    return kKeyboardProduct;
}

uint16_t DefaultVendor(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
    case SimKind::Receiver:
    case SimKind::Pad:
        return kMouseVendor;
    case SimKind::Headset:
        return kHeadsetVendor;
    case SimKind::Keyboard:
        break;
    }
    return kKeyboardVendor;
}

} // namespace

SimOptions ResolveOptions(SimOptions o) {
    if (o.kind != SimKind::Keyboard) {
        if (o.name == kKeyboardName)
            o.name = DefaultName(o.kind);
        if (o.vendorId == kKeyboardVendor && o.productId == kKeyboardProduct) {
            o.vendorId = DefaultVendor(o.kind);
            o.productId = DefaultProduct(o.kind);
        }
        o.lightingPages = 0; // only the keyboard has custom colour pages
    }
    if (SimHasPadMemory(o.kind))
        o.macroCapacity = 0; // nor has a pad or a headset macro memory
    if (!o.deviceRows.has_value())
        o.deviceRows = o.kind != SimKind::Keyboard;
    return o;
}

const char* SimProductName(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
        return "NK-7X Mouse";
    case SimKind::Receiver:
        return "NK-7X Wireless Receiver";
    case SimKind::Pad:
        return "NK-7X Mouse Pad";
    case SimKind::Headset:
        return "NK-7X Headset";
    case SimKind::Keyboard:
        break;
    }
    return "NK-7X Keyboard";
}

const char* SimProductName(const SimOptions& options) {
    return options.productName.empty() ? SimProductName(options.kind) : options.productName.c_str();
}

SimOptions SimOptionsFor(const KindDescriptor& kind, SimKind protocol, const std::string& folder) {
    SimOptions o;
    o.folder = folder;
    o.kind = protocol;
    o.name = std::string(kind.scriptName) + "1";
    o.vendorId = kind.vendorId;
    o.productId = kind.productId;
    if (kind.keyCount > 0)
        o.keyCount = kind.keyCount;
    if (kind.buttonCount > 0)
        o.buttonCount = kind.buttonCount;
    o.deviceRows = true;
    o.rowsKind = KindNumber(kind.kind);
    o.rowsFamily = kind.folderName;
    o.productName = kind.productName;
    return o;
}

const char* SimKindName(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
        return "mouse";
    case SimKind::Receiver:
        return "receiver";
    case SimKind::Pad:
        return "pad";
    case SimKind::Headset:
        return "headset";
    case SimKind::Keyboard:
        break;
    }
    return "keyboard";
}

bool ParseSimKind(std::string_view text, SimKind& kind) {
    for (SimKind k : {SimKind::Keyboard, SimKind::Mouse, SimKind::Receiver, SimKind::Pad, SimKind::Headset}) {
        if (text == SimKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

} // namespace nk7x
