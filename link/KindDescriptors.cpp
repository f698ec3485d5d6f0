#include "link/KindDescriptors.h"

#include <cstring>
#include <deque>

namespace nk7x {
namespace {

// The shipped kinds, then the added ones. A deque: a descriptor handed out stays where it is when
// another kind is added.
std::deque<KindDescriptor>& AllKinds() {
    static std::deque<KindDescriptor> all(kKindDescriptors.begin(), kKindDescriptors.end());
    return all;
}

int AddedCount() {
    return static_cast<int>(AllKinds().size()) - kDeviceFamilyCount;
}

bool Fail(std::string* why, const std::string& reason) {
    if (why)
        *why = reason;
    return false;
}

bool SameText(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

} // namespace

const std::deque<KindDescriptor>& Kinds() {
    return AllKinds();
}

bool AddKind(const KindDescriptor& kind, std::string* why) {
    const int family = FamilyIndex(kind.family);
    if (family != kDeviceFamilyCount + AddedCount())
        return Fail(why, "its family is not the next unused one");
    if (KindFromNumber(KindNumber(kind.kind)) || KindNumber(kind.kind) == 0)
        return Fail(why, "its kind number is taken");
    if (!kind.folderName || !*kind.folderName || !kind.scriptName || !*kind.scriptName || !kind.displayName ||
        !kind.productName || !kind.pageLayout || !kind.lightingName)
        return Fail(why, "a name is missing");
    if (FamilyIndex(kind.lightModes) < 0 || FamilyIndex(kind.lightModes) >= kDeviceFamilyCount)
        return Fail(why, "its light modes are not a shipped family's");
    if (kind.keyCount < 0 || kind.buttonCount < 0)
        return Fail(why, "a count is negative");
    for (const KindDescriptor& have : AllKinds()) {
        if (SameText(have.folderName, kind.folderName) || SameText(have.scriptName, kind.scriptName))
            return Fail(why, std::string("the name \"") + kind.scriptName + "\" or its folder is taken");
    }
    AllKinds().push_back(kind);
    return true;
}

const KindDescriptor* AddedKind(DeviceFamily family) {
    const int i = FamilyIndex(family);
    if (i < kDeviceFamilyCount || i >= kDeviceFamilyCount + AddedCount())
        return nullptr;
    return &AllKinds()[static_cast<size_t>(i)];
}

const KindDescriptor* AddedKind(DeviceKind kind) {
    for (size_t i = kDeviceFamilyCount; i < AllKinds().size(); ++i)
        if (AllKinds()[i].kind == kind)
            return &AllKinds()[i];
    return nullptr;
}

// The answers of DeviceKind.h for numbers beyond the shipped ones.
std::optional<DeviceKind> AddedKindFromNumber(int number) {
    if (number < 0 || number > 0xFFFF)
        return std::nullopt;
    if (const KindDescriptor* d = AddedKind(static_cast<DeviceKind>(number)))
        return d->kind;
    return std::nullopt;
}

std::optional<DeviceFamily> AddedFamilyFromIndex(int index) {
    if (const KindDescriptor* d = AddedKind(static_cast<DeviceFamily>(index)))
        return d->family;
    return std::nullopt;
}

DeviceFamily AddedFamilyOf(DeviceKind kind) {
    const KindDescriptor* d = AddedKind(kind);
    return d ? d->family : DeviceFamily::Headset;
}

const char* AddedFolderName(DeviceFamily family) {
    const KindDescriptor* d = AddedKind(family);
    return d ? d->folderName : "HD";
}

const char* AddedDisplayName(DeviceKind kind) {
    const KindDescriptor* d = AddedKind(kind);
    return d ? d->displayName : "headset";
}

} // namespace nk7x
