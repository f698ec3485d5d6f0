#include "devices/discovery/DeviceRowsFile.h"

#include "link/KindDescriptors.h"
#include "profiles/json/JsonFile.h"

#include <json/reader.h>
#include <json/value.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/Folders.h"
#include "platform/SettingsStore.h"

namespace nk7x {
namespace {

// A 16-bit number given as a JSON integer or as a "0x..." / decimal text.
std::optional<uint16_t> Number16(const Json::Value& v) {
    if (v.isIntegral()) {
        const Json::LargestInt n = v.asLargestInt();
        if (n < 0 || n > 0xFFFF)
            return std::nullopt;
        return static_cast<uint16_t>(n);
    }
    if (!v.isString())
        return std::nullopt;
    const std::string text = v.asString();
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    const unsigned long n = std::strtoul(text.c_str(), &end, hex ? 16 : 10);
    if (end == nullptr || *end != '\0' || n > 0xFFFF)
        return std::nullopt;
    return static_cast<uint16_t>(n);
}

std::optional<uint16_t> Role(const Json::Value& v) {
    if (v.isString()) {
        if (v.asString() == "command")
            return kRoleCommand;
        if (v.asString() == "notification")
            return kRoleNotification;
        return std::nullopt;
    }
    const auto n = Number16(v);
    if (n && (*n == kRoleCommand || *n == kRoleNotification))
        return n;
    return std::nullopt;
}

std::optional<DeviceKind> Kind(const Json::Value& v) {
    const auto n = Number16(v);
    return n ? KindFromNumber(*n) : std::nullopt;
}

std::optional<DeviceFamily> Family(const Json::Value& v) {
    if (!v.isString())
        return std::nullopt;
    std::string name = v.asString();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "keyboard")
        return DeviceFamily::Keyboard;
    if (name == "mouse")
        return DeviceFamily::Mouse;
    if (name == "mousepad" || name == "mouse pad")
        return DeviceFamily::MousePad;
    if (name == "headset")
        return DeviceFamily::Headset;
    const auto same = [&name](const char* text) {
        return std::equal(name.begin(), name.end(), text, text + std::strlen(text),
                          [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    };
    for (const KindDescriptor& d : Kinds()) // an added kind, by its folder or its script name
        if (same(d.folderName) || same(d.scriptName))
            return d.family;
    return std::nullopt;
}

std::string Where(const std::string& source, const char* list, Json::ArrayIndex i) {
    std::ostringstream out;
    out << source << ": " << list << "[" << i << "]";
    return out.str();
}

} // namespace

DeviceRows ParseDeviceRows(const std::string& text, const std::string& source) {
    DeviceRows rows;
    Json::Value doc;
    // The program's one reader: a nesting limit, and no exception out of a hostile file.
    if (!ParseJsonText(text, doc) || !doc.isObject()) {
        rows.problems.push_back(source + ": not a JSON object; nothing taken from it");
        return rows;
    }
    const Json::Value& interfaces = doc["interfaces"];
    if (!interfaces.isNull() && !interfaces.isArray())
        rows.problems.push_back(source + ": \"interfaces\" is not a list");
    for (Json::ArrayIndex i = 0; interfaces.isArray() && i < interfaces.size(); ++i) {
        const Json::Value& r = interfaces[i];
        if (!r.isObject()) {
            rows.problems.push_back(Where(source, "interfaces", i) + " is not an object");
            continue;
        }
        const auto vendor = Number16(r["vendor"]);
        const auto product = Number16(r["product"]);
        const auto iface = Number16(r["interface"]);
        const auto collection = Number16(r["collection"]);
        const auto kind = Kind(r["kind"]);
        const auto role = Role(r["role"]);
        const auto usagePage = Number16(r["usagePage"]);
        const auto usage = Number16(r["usage"]);
        if (!vendor || !product || !iface || !collection || !kind || !role || !usagePage || !usage ||
            *vendor == 0 || *product == 0) {
            rows.problems.push_back(Where(source, "interfaces", i) +
                                    " lacks a usable vendor, product, interface, collection, kind, role, "
                                    "usagePage or usage; skipped");
            continue;
        }
        DeviceSlot s;
        s.vendorId = *vendor;
        s.productId = *product;
        s.interfaceNumber = *iface;
        s.collection = *collection;
        s.kind = *kind;
        s.role = *role;
        s.usagePage = *usagePage;
        s.usage = *usage;
        rows.interfaces.push_back(s);
    }
    const Json::Value& options = doc["options"];
    if (!options.isNull() && !options.isArray())
        rows.problems.push_back(source + ": \"options\" is not a list");
    for (Json::ArrayIndex i = 0; options.isArray() && i < options.size(); ++i) {
        const Json::Value& r = options[i];
        if (!r.isObject()) {
            rows.problems.push_back(Where(source, "options", i) + " is not an object");
            continue;
        }
        const auto family = Family(r["family"]);
        const auto vendor = Number16(r["vendor"]);
        const auto product = Number16(r["product"]);
        const auto kind = Kind(r["kind"]);
        const auto role = r.isMember("role") ? Role(r["role"]) : std::optional<uint16_t>(kRoleCommand);
        if (!family || !vendor || !product || !kind || !role || *vendor == 0 || *product == 0 ||
            FamilyOf(*kind) != *family) {
            rows.problems.push_back(Where(source, "options", i) +
                                    " lacks a usable family, vendor, product, kind or role; skipped");
            continue;
        }
        rows.options.push_back({*family, *vendor, *product, *kind, *role});
    }
    return rows;
}

DeviceRows ReadDeviceRowsFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    // A rows file is a few rows; anything large is not one.
    if (text.str().size() > 1024 * 1024) {
        DeviceRows rows;
        rows.problems.push_back(path + ": larger than 1 MiB; nothing taken from it");
        return rows;
    }
    return ParseDeviceRows(text.str(), path);
}

std::vector<std::string> DeviceRowsFiles() {
    std::vector<std::string> files;
    files.push_back(JoinPath(DefaultDataFolder(), "devices.json"));
    files.push_back(
        (std::filesystem::path(SettingsStore::DefaultPath()).parent_path() / "devices.json").string());
    if (const char* sim = std::getenv("NK7X_SIM_DIR"); sim && *sim) {
        std::error_code ec;
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(sim, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 13 && name.ends_with(".devices.json"))
                found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

} // namespace nk7x
