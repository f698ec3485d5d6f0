#include "app/ServiceAnswer.h"

#include "link/KindDescriptors.h"

#include <algorithm>

namespace nk7x {

std::vector<int32_t> BuildServiceAnswer(const std::vector<SupportedDevice>& rows) {
    std::vector<int32_t> block(kServiceAnswerInts, 0);
    block[0] = 2;
    block[1] = 3;
    block[2] = 0;
    block[3] = 2;
    const size_t room = (kServiceAnswerInts - 5) / 3;
    const size_t count = std::min(rows.size(), room);
    block[4] = static_cast<int32_t>(count);
    for (size_t i = 0; i < count; ++i) {
        block[5 + i * 3] = static_cast<int32_t>(rows[i].vendorId);
        block[6 + i * 3] = static_cast<int32_t>(rows[i].productId);
        block[7 + i * 3] = rows[i].kind;
    }
    return block;
}

std::vector<SupportedDevice> OptionTableDevices() {
    // The kinds' own rows (shipped, and added at start-up): the answer names what the program was
    // built for, not what a device rows file added later.
    std::vector<SupportedDevice> rows;
    for (const KindDescriptor& d : Kinds())
        rows.push_back({d.vendorId, d.productId, KindNumber(d.kind)});
    return rows;
}

} // namespace nk7x
