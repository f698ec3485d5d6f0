#include "update/UpdateCheck.h"

#include <json/value.h>

#include <chrono>

#include "platform/DebugLog.h"
#include "platform/WorkerSlots.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"
#include "update/LastCheckFile.h"

namespace nk7x {

namespace {

// The answer's "version" as text: a string as it is, a JSON number in decimal digits.
std::string VersionText(const Json::Value& value) {
    if (value.isString())
        return value.asString();
    if (value.isNumeric())
        return std::to_string(JsonValueInt64(value));
    return {};
}

} // namespace

const char* UpdateCheckStateName(UpdateCheckState state) {
    switch (state) {
    case UpdateCheckState::Checking:
        return "checking";
    case UpdateCheckState::Available:
        return "available";
    case UpdateCheckState::NoInformation:
        return "no-information";
    case UpdateCheckState::UpToDate:
        return "up-to-date";
    case UpdateCheckState::NotConfigured:
        return "not-configured";
    case UpdateCheckState::Cancelled:
        return "cancelled";
    }
    return "unknown";
}

UpdateRecord PlaceholderRecord(const UpdateProduct& product) {
    UpdateRecord r;
    r.name = product.info.displayName;
    r.installedText = InstalledVersionText(product);
    return r;
}

UpdateRecord RecordFromAnswer(const UpdateProduct& product, const HttpResult& http,
                              const std::string& answer) {
    UpdateRecord r = PlaceholderRecord(product);
    r.reached = http.sent && http.status != 0;
    // Nothing usable: not sent, another status than success (a redirect, an error page: its body
    // says nothing of the product), no answer byte, or an answer cut at the bound (never half-read).
    if (!http.sent || http.status < 200 || http.status > 299 || http.bytes <= 0 || http.truncated)
        return r;
    Json::Value doc;
    if (!ParseJsonText(answer, doc) || !doc.isObject())
        return r;
    // The answer's name only says that the server knows the product; the list shows the table's
    // display name, whatever the server calls it.
    const Json::Value& name = JsonMember(doc, "name");
    const Json::Value& versionValue = JsonMember(doc, "version");
    if (!name.isString() || name.asString().empty() || !(versionValue.isString() || versionValue.isNumeric()))
        return r;
    r.known = true;
    r.downloadPath = JsonString(doc, "path");
    r.versionName = JsonString(doc, "version_name");
    r.deviceId = JsonInt(doc, "device_id");
    const std::string version = VersionText(JsonMember(doc, "version"));
    const int64_t newest = ParseVersionNumber(version, product.IsFirmware() ? 16 : 10);
    r.newestText = product.IsFirmware() ? "V" + version : r.versionName;
    r.status =
        static_cast<int64_t>(product.installed) < newest ? kUpdateStatusAvailable : kUpdateStatusUpToDate;
    return r;
}

UpdateCheckState OverallResult(const std::vector<UpdateRecord>& records) {
    std::size_t unknown = 0;
    for (const UpdateRecord& r : records) {
        if (r.known && r.status == kUpdateStatusAvailable)
            return UpdateCheckState::Available;
        unknown += r.known ? 0 : 1;
    }
    return records.empty() || unknown > 0 ? UpdateCheckState::NoInformation : UpdateCheckState::UpToDate;
}

std::string UpdateUrl(const std::string& apiBase) {
    if (!apiBase.empty() && apiBase.back() != '/')
        return apiBase + "/updates";
    return apiBase + "updates";
}

CUpdateCheck::CUpdateCheck(std::string apiBase, std::vector<UpdateProduct> products)
    : m_apiBase(std::move(apiBase)), m_products(std::move(products)) {
    for (const UpdateProduct& p : m_products)
        m_records.push_back(PlaceholderRecord(p));
}

void CUpdateCheck::SetLastCheckFile(std::string path, std::string date) {
    m_lastCheckFile = std::move(path);
    m_lastCheckDate = std::move(date);
}

void CUpdateCheck::Cancel() {
    m_cancel.store(true);
    m_client.Abort();
}

void CUpdateCheck::Report(UpdateCheckState state) {
    if (m_listener.onState)
        m_listener.onState(state);
}

UpdateCheckState CUpdateCheck::Run(const StopEvent* stop, uint32_t deadlineMs) {
    m_failures = 0;
    for (std::size_t i = 0; i < m_products.size(); ++i)
        m_records[i] = PlaceholderRecord(m_products[i]);
    if (m_apiBase.empty()) {
        DebugLog("update check: no update server configured");
        Report(UpdateCheckState::NotConfigured);
        return UpdateCheckState::NotConfigured;
    }
    auto stopping = [&] { return m_cancel.load() || (stop && stop->IsSet()); };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    auto late = [deadline] { return std::chrono::steady_clock::now() >= deadline; };
    // The request under way ends at the stop or at the deadline, whichever comes first.
    m_client.SetStopQuery([stop, late] { return (stop && stop->IsSet()) || late(); });
    Report(UpdateCheckState::Checking);
    const std::string url = UpdateUrl(m_apiBase);
    for (std::size_t i = 0; i < m_products.size(); ++i) {
        if (stopping())
            break;
        if (late()) {
            DebugLogf("update check: no time left for %s (%u ms for the whole check)",
                      ProductKey(m_products[i].info).c_str(), deadlineMs);
            ++m_failures;
            continue;
        }
        const UpdateProduct& product = m_products[i];
        m_client.ResetSettings();
        m_client.Settings() = m_http;
        const std::string body = UpdateRequestBody(product);
        std::string answer;
        const HttpResult http =
            m_client.Request("POST", url, reinterpret_cast<const uint8_t*>(body.data()), body.size(), answer);
        if (stopping())
            break; // an answer cut short by the stop says nothing
        // Nor does one the deadline cut short: what arrived may be any part of it.
        UpdateRecord record = late() ? PlaceholderRecord(product) : RecordFromAnswer(product, http, answer);
        if (!record.known)
            ++m_failures;
        DebugLogf("update check: %s installed %s newest %s status %d%s (HTTP %ld, %d bytes%s)",
                  ProductKey(product.info).c_str(), record.installedText.c_str(), record.newestText.c_str(),
                  record.status, record.known ? "" : ", no information", http.status, http.bytes,
                  http.truncated ? ", cut" : "");
        m_records[i] = record;
        if (!m_lastCheckFile.empty())
            WriteLastCheck(m_lastCheckFile, m_lastCheckDate);
        if (m_listener.onRecord)
            m_listener.onRecord(i, m_records[i]);
    }
    m_client.SetStopQuery(nullptr);
    if (stopping()) {
        Report(UpdateCheckState::Cancelled);
        return UpdateCheckState::Cancelled;
    }
    const UpdateCheckState result = OverallResult(m_records);
    Report(result);
    return result;
}

bool CUpdateCheck::StartIn(WorkerSlots& slots, int slot) {
    return slots.Start(slot, [this](const StopEvent& stop) { Run(&stop); });
}

} // namespace nk7x
