#include "devices/keyboard/KeyboardLayoutRead.h"

namespace nk7x {

KeyboardLayoutRead FetchKeyboardLayout(CDeviceCommandLink& link) {
    KeyboardLayoutRead read;
    if (!link.IsOpen())
        return read;
    FirstFailure f;
    f.Take(link.BeginConfig());
    const LinkResult infoResult = link.ReadDeviceInfo(read.info);
    f.Take(infoResult);
    if (infoResult != kResultOk) {
        (void)link.EndConfig(); // the failure reported is the read's
        read.result = f.result;
        return read;
    }
    read.infoRead = true;
    const int k = read.info[5];
    if (link.SetDataSize(static_cast<uint32_t>(3 * k)) != 1) {
        // More keys than a key table can hold: the maps keep what they had. The configuration
        // session is still closed so the keyboard does not stay in it.
        (void)link.EndConfig();
        read.result = kResultFailed;
        return read;
    }
    const LinkResult keysResult = link.ReadKeyTable(read.keyTable.data());
    f.Take(keysResult);
    const LinkResult ledsResult =
        keysResult == kResultOk ? link.ReadKeyIndexTable(read.ledTable.data()) : keysResult;
    f.Take(ledsResult);
    f.Take(link.EndConfig());
    read.tablesRead = keysResult == kResultOk && ledsResult == kResultOk;
    read.keys = k;
    read.result = f.result;
    return read;
}

} // namespace nk7x
