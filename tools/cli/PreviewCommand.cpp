#include "tools/cli/PreviewCommand.h"

#include <cstdio>
#include <iostream>
#include <string_view>
#include <vector>

#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightClock.h"
#include "platform/DebugLog.h"

namespace nk7x::cli {

namespace {

constexpr uint32_t kMaxSteps = 1000000;

struct KeyEvent {
    uint8_t key = 0;
    KeyEventKind kind = KeyEventKind::Press;
    uint32_t after = 0;
};

struct PreviewOptions {
    bool json = false;
    bool log = false;
    std::string kind;
    std::optional<uint32_t> steps;
    LightState light{};
    bool haveMode = false;
    std::vector<KeyEvent> keys;
};

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

bool ParseKeys(std::string_view text, std::vector<KeyEvent>& out, std::string& error) {
    for (std::string_view item : Split(text, ',')) {
        const std::size_t colon = item.find(':');
        const std::size_t at = item.find('@');
        if (colon == std::string_view::npos || at == std::string_view::npos || at < colon) {
            error = "bad key event (press:K@T or release:K@T): " + std::string(item);
            return false;
        }
        KeyEvent e;
        const std::string_view what = item.substr(0, colon);
        if (what == "press")
            e.kind = KeyEventKind::Press;
        else if (what == "release")
            e.kind = KeyEventKind::Release;
        else {
            error = "bad key event kind: " + std::string(what);
            return false;
        }
        const auto key = ParseNumber(item.substr(colon + 1, at - colon - 1), light::kKeyboardKeys - 1);
        const auto after = ParseNumber(item.substr(at + 1), kMaxSteps);
        if (!key || !after) {
            error = "bad key index (0..125) or step in key event: " + std::string(item);
            return false;
        }
        e.key = static_cast<uint8_t>(*key);
        e.after = *after;
        out.push_back(e);
    }
    return true;
}

bool Parse(int argc, char** argv, PreviewOptions& o, std::string& error) {
    bool seenCommand = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        if (arg == "--log") {
            o.log = true;
            continue;
        }
        if (arg.size() < 2 || arg.substr(0, 2) != "--") {
            if (arg == "preview" && !seenCommand) {
                seenCommand = true;
                continue;
            }
            error = "unexpected argument " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return false;
        }
        const std::string_view value = argv[++i];
        auto byte = [&](uint32_t max, uint8_t& field) {
            const auto n = ParseNumber(value, max);
            if (!n) {
                error = "bad value for " + std::string(arg) + ": " + std::string(value);
                return false;
            }
            field = static_cast<uint8_t>(*n);
            return true;
        };
        bool ok = true;
        if (arg == "--kind") {
            o.kind = value;
        } else if (arg == "--mode") {
            ok = byte(255, o.light.mode);
            o.haveMode = true;
        } else if (arg == "--speed") {
            ok = byte(4, o.light.speed);
        } else if (arg == "--light") {
            ok = byte(4, o.light.brightness);
        } else if (arg == "--fx") {
            ok = byte(255, o.light.direction);
        } else if (arg == "--multicolor") {
            ok = byte(1, o.light.multiColor);
        } else if (arg == "--zzcc") {
            ok = byte(255, o.light.secondaryMode);
        } else if (arg == "--rgb") {
            const auto parts = Split(value, ',');
            std::optional<uint32_t> r, g, b;
            if (parts.size() == 3) {
                r = ParseNumber(parts[0], 255);
                g = ParseNumber(parts[1], 255);
                b = ParseNumber(parts[2], 255);
            }
            if (!r || !g || !b) {
                error = "bad value for --rgb (R,G,B, each 0..255): " + std::string(value);
                return false;
            }
            o.light.red = static_cast<uint8_t>(*r);
            o.light.green = static_cast<uint8_t>(*g);
            o.light.blue = static_cast<uint8_t>(*b);
        } else if (arg == "--steps") {
            o.steps = ParseNumber(value, kMaxSteps);
            if (!o.steps) {
                error = "bad value for --steps: " + std::string(value);
                return false;
            }
        } else if (arg == "--keys") {
            ok = ParseKeys(value, o.keys, error);
        } else {
            error = "unknown option " + std::string(arg);
            return false;
        }
        if (!ok)
            return false;
    }
    if (o.kind != "keyboard") {
        error = o.kind.empty() ? "preview needs --kind keyboard" : "preview supports --kind keyboard only";
        return false;
    }
    if (!o.haveMode || !o.steps) {
        error = "preview needs --mode and --steps";
        return false;
    }
    for (const KeyEvent& e : o.keys)
        if (e.after > *o.steps) {
            error = "a key event comes after the last step";
            return false;
        }
    return true;
}

} // namespace

bool IsPreviewCommand(int argc, char** argv) {
    return FirstCommandIs(argc, argv, "preview", {"--path", "--length", "--offset"});
}

Exit RunPreview(int argc, char** argv) {
    PreviewOptions o;
    o.light.brightness = 4;
    o.light.direction = 1;
    o.light.red = o.light.green = o.light.blue = 255;
    std::string error;
    if (!Parse(argc, argv, o, error)) {
        std::cerr << "nk7x-cli: " << error << "\n\nusage:\n" << kPreviewUsage;
        return Exit::Usage;
    }
    if (o.log)
        SetDebugToStderr(true);
    // The steps run as on the light thread, one tick apart on a clock of their own, so the output
    // depends only on the arguments.
    light::ManualLightClock clock;
    light::KeyboardLightEngine engine(clock, 1);
    engine.SetLightSettings(o.light, true);
    uint64_t elapsedUs = 0;
    auto applyKeys = [&](uint32_t after) {
        for (const KeyEvent& e : o.keys)
            if (e.after == after)
                engine.OnReactiveKey(e.key, e.kind);
    };
    for (uint32_t step = 0; step < *o.steps; ++step) {
        applyKeys(step);
        engine.StepNow();
        elapsedUs += static_cast<uint64_t>(light::kLightTick.count());
        clock.Set(elapsedUs / 1000);
    }
    applyKeys(*o.steps);

    const auto colours = engine.Colours();
    if (o.json) {
        Json::Value root(Json::objectValue);
        root["kind"] = o.kind;
        root["mode"] = o.light.mode;
        root["steps"] = *o.steps;
        Json::Value& keys = root["keys"] = Json::Value(Json::arrayValue);
        for (const light::Rgba& c : colours) {
            Json::Value entry(Json::arrayValue);
            entry.append(c.r);
            entry.append(c.g);
            entry.append(c.b);
            entry.append(c.a);
            keys.append(entry);
        }
        PrintJson(root);
        return Exit::Ok;
    }
    std::printf("key red green blue alpha\n");
    for (std::size_t k = 0; k < colours.size(); ++k)
        std::printf("%zu %u %u %u %u\n", k, colours[k].r, colours[k].g, colours[k].b, colours[k].a);
    return Exit::Ok;
}

} // namespace nk7x::cli
