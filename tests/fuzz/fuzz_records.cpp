// Arbitrary bytes through every fixed-layout record decoder: the profile records, the keyboard's
// settings record and macro image, the command frame as the program and as the emulator read it.
// Nothing may read past the bytes given; a too-short input leaves the record untouched; and what is
// read and written back reads the same again (with the exceptions each record documents).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "devices/keyboard/KeyboardRecords.h"
#include "link/CommandFrame.h"
#include "profiles/ProfileRecords.h"
#include "tools/sim/SimFrame.h"

namespace {

using namespace nk7x;

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// A record filled from a fixed pattern, so that "untouched" is told apart from "reset".
template <class R> R Prepared() {
    std::array<uint8_t, 64> pattern{};
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(0xA5 ^ (i * 37));
    R r;
    Check(R::Parse(pattern, r));
    return r;
}

// Records whose every byte travels: the bytes read are the bytes written, and back.
template <class R> void WholeRecord(std::span<const uint8_t> bytes) {
    const R prepared = Prepared<R>();
    R r = prepared;
    const bool ok = R::Parse(bytes, r);
    if (bytes.size() < R::kSize) {
        Check(!ok && r == prepared);
        return;
    }
    Check(ok);
    const auto out = r.Serialise();
    Check(std::memcmp(out.data(), bytes.data(), R::kSize) == 0);
    R again;
    Check(R::Parse(out, again) && again == r);
}

bool SameSettings(const KeyboardSettingsRecord& a, const KeyboardSettingsRecord& b) {
    return a.index == b.index && a.light == b.light && a.stages == b.stages;
}

// The keyboard's settings record keeps neither its reserved bytes nor modes from 20 on.
void SettingsRecord(std::span<const uint8_t> bytes) {
    const KeyboardSettingsRecord prepared =
        KeyboardSettingsRecord::From(42, Prepared<LightState>(), Prepared<KeyboardSystemStages>());
    KeyboardSettingsRecord r = prepared;
    const bool ok = KeyboardSettingsRecord::Parse(bytes, r);
    if (bytes.size() < KeyboardSettingsRecord::kSize) {
        Check(!ok && SameSettings(r, prepared));
        return;
    }
    Check(ok);
    const auto out = r.Serialise();
    for (size_t i = 0; i < KeyboardSettingsRecord::kSize; ++i) {
        const bool reserved = (i >= 9 && i < 18) || i == 23 || i == 24;
        uint8_t expected = reserved ? 0 : bytes[i];
        if (i == 1 && bytes[1] >= kFirstUnsentLightMode)
            expected = 0;
        Check(out[i] == expected);
    }
    KeyboardSettingsRecord again;
    Check(KeyboardSettingsRecord::Parse(out, again));
    if (r.light.mode >= kFirstUnsentLightMode)
        r.light.mode = 0;
    Check(SameSettings(again, r));
}

void Macros(std::span<const uint8_t> bytes) {
    MacroImage prepared;
    prepared.macros = {{MacroEvent{true, 1, 4, 10}}};
    MacroImage image = prepared;
    if (!MacroImage::Parse(bytes, image)) {
        Check(image.macros == prepared.macros);
        return;
    }
    // Blocks may overlap and leave gaps in what was read; written back they are laid end to end,
    // which may no longer fit the 16-bit length.
    const std::vector<uint8_t> out = image.Serialise();
    if (out.empty()) {
        Check(image.Size() > MacroImage::kMaxSize);
        return;
    }
    Check(out.size() == image.Size());
    MacroImage again;
    Check(MacroImage::Parse(out, again) && again.macros == image.macros);
}

// The program's request codec and the emulator's frame reader must agree on every field.
void Frames(std::span<const uint8_t> bytes) {
    CommandRequest request;
    const bool ok = CommandRequest::Parse(bytes.data(), bytes.size(), request);
    Check(ok == (bytes.size() >= kFrameSize));
    if (!ok)
        return;
    const FrameBytes frame = request.Serialise();
    Check(frame[0] == kCommandReportId && frame[7] == 0);
    Check(std::memcmp(frame.data() + 3, bytes.data() + 3, 4) == 0);
    Check(std::memcmp(frame.data() + 8, bytes.data() + 8, kFramePayloadSize) == 0);
    const SimFrameFields seen = ParseSimFrame(frame.data());
    Check(seen.reportId == kCommandReportId && seen.checksum == SimFrameChecksum(frame.data()));
    Check(seen.checksum == FrameChecksum(frame.data()));
    Check(seen.command == request.command && seen.length == request.length && seen.offset == request.offset);
    Check(std::memcmp(seen.data.data(), request.payload.data(), kFramePayloadSize) == 0);

    // The emulator writes back what it read, with a checksum of its own.
    const SimFrameFields fields = ParseSimFrame(bytes.data());
    std::array<uint8_t, kFrameSize> written{};
    SerialiseSimFrame(fields, written.data());
    for (size_t i = 0; i < kFrameSize; ++i)
        Check(i == 1 || i == 2 || written[i] == bytes[i]);
    Check((written[1] | written[2] << 8) == FrameChecksum(written.data()));

    (void)ReplyView(bytes.data()).StatusResult();
    (void)FormatHexLine(bytes.data() + (bytes.size() - 32));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    WholeRecord<LightState>(bytes);
    WholeRecord<EffectFrame>(bytes);
    WholeRecord<KeyAssignment>(bytes);
    WholeRecord<KeyboardSystemStages>(bytes);
    WholeRecord<CustomColor>(bytes);
    WholeRecord<DpiStage>(bytes);
    WholeRecord<MouseSystemStages>(bytes);
    WholeRecord<HeadsetSystemSetStages>(bytes);
    SettingsRecord(bytes);
    Macros(bytes);
    Frames(bytes);
    return 0;
}
