#include "DefaultData.h"

#include <json/reader.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace nk7x::test {

std::string DefaultDataDir() {
    return std::string(NK7X_SOURCE_DIR) + "/DefaultData";
}

std::string DefaultDataPath(const std::string& name) {
    return DefaultDataDir() + "/" + name;
}

std::string ReadDefaultText(const std::string& name) {
    std::ifstream in(DefaultDataPath(name), std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Json::Value ParseDefaultStrict(const std::string& name, std::string* error) {
    const std::string text = ReadDefaultText(name);
    if (text.empty()) {
        if (error)
            *error = name + ": missing or empty";
        return Json::Value();
    }
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder.settings_["failIfExtra"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errs;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errs)) {
        if (error)
            *error = name + ": " + errs;
        return Json::Value();
    }
    return root;
}

bool IsValidUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        unsigned c = *p++;
        if (c < 0x80)
            continue;
        int more;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (p[i] & 0x3F);
        }
        p += more;
        static constexpr unsigned kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

const std::vector<std::string>& ExpectedDefaultFiles() {
    static const std::vector<std::string> files = {
        "keyboard.Json",      "mouse.Json",         "MousePad.Json",     "HD.Json",
        "default_light.json", "tavro_light.config", "ShootData_0.Shoot", "ShootData_1.Shoot",
        "ShootData_2.Shoot",  "ShootData_3.Shoot",
    };
    return files;
}

::testing::AssertionResult IsIntIn(const Json::Value& value, long long lo, long long hi,
                                   const std::string& where) {
    if (value.type() != Json::intValue && value.type() != Json::uintValue)
        return ::testing::AssertionFailure() << where << " is not an integer: " << value.toStyledString();
    const long long v = value.asInt64();
    if (v < lo || v > hi)
        return ::testing::AssertionFailure() << where << " = " << v << ", outside " << lo << ".." << hi;
    return ::testing::AssertionSuccess();
}

} // namespace nk7x::test
