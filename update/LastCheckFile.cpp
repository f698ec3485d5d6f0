#include "update/LastCheckFile.h"

#include <ctime>

#include <json/value.h>

#include "platform/Folders.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

namespace nk7x {

std::string LastCheckFilePath() {
    return JoinPath(UserDataRoot(), "updatetime.config");
}

std::string LastCheckDateText(int year, int month, int day) {
    return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

std::string TodayDateText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LastCheckDateText(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string ReadLastCheck(const std::string& path, const std::string& today) {
    const Json::Value doc = LoadJson(path);
    const std::string stored = JsonString(JsonMember(doc, "updatelasttime"), "value");
    if (!stored.empty())
        return stored;
    WriteLastCheck(path, today);
    return today;
}

bool WriteLastCheck(const std::string& path, const std::string& date) {
    Json::Value doc(Json::objectValue);
    doc["updatelasttime"]["value"] = date;
    return WriteJson(path, doc) == 1;
}

} // namespace nk7x
