// A sound card's mixer for tests: volumes with their ranges and switches held in memory, writes
// counted and refusable.
#pragma once

#include <map>
#include <set>

#include "platform/MixerLayer.h"

namespace nk7x::test {

class FakeMixer final : public MixerLayer {
  public:
    struct Level {
        MixerRange range;
        long value = 0;
    };
    std::map<MixerControl, Level> volumes;
    std::map<MixerControl, bool> switches;
    std::set<MixerControl> refused;
    int writes = 0;

    bool Has(MixerControl control) const override {
        return volumes.count(control) > 0 || switches.count(control) > 0;
    }
    std::optional<MixerRange> VolumeRange(MixerControl control) const override {
        const auto it = volumes.find(control);
        return it == volumes.end() ? std::nullopt : std::optional<MixerRange>(it->second.range);
    }
    bool SetVolume(MixerControl control, long raw) override {
        ++writes;
        const auto it = volumes.find(control);
        if (it == volumes.end() || refused.count(control))
            return false;
        it->second.value = raw;
        return true;
    }
    std::optional<long> Volume(MixerControl control) override {
        const auto it = volumes.find(control);
        return it == volumes.end() ? std::nullopt : std::optional<long>(it->second.value);
    }
    bool SetSwitch(MixerControl control, bool on) override {
        ++writes;
        const auto it = switches.find(control);
        if (it == switches.end() || refused.count(control))
            return false;
        it->second = on;
        return true;
    }
    std::optional<bool> Switch(MixerControl control) override {
        const auto it = switches.find(control);
        return it == switches.end() ? std::nullopt : std::optional<bool>(it->second);
    }
    std::string Describe() const override { return "fake card"; }
};

} // namespace nk7x::test
