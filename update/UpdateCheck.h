// CUpdateCheck: asks the update server, product by product, whether a newer firmware or application
// exists, and sums the answers up as one overall result. Runs synchronously on the calling thread
// (the settings window's worker, the command-line tool) and can be cancelled from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "update/HttpClient.h"
#include "update/UpdateProducts.h"

namespace nk7x {

class StopEvent;
class WorkerSlots;

// A product's status; the numbers are the update list entry's states.
inline constexpr int kUpdateStatusAvailable = 1;
inline constexpr int kUpdateStatusUpToDate = 7;

// The result for one product.
struct UpdateRecord {
    int status = kUpdateStatusUpToDate;
    int deviceId = 0;          // "device_id" of the answer
    std::string name;          // the product table's display name (an answer's "name" is not shown)
    std::string installedText; // "V0105" (firmware), "V10" (application)
    std::string versionName;   // "version_name" of the answer
    std::string newestText;    // "V0106" (firmware) or the version name (application); empty when up to date
    std::string downloadPath;  // "path" of the answer
    bool reached = false;      // the server gave an HTTP answer for this product
    // The server told something usable: a 2xx answer, whole, a JSON object with a "name" and a
    // "version". Without it the product's state is unknown ("no information"), never up to date.
    bool known = false;
};

// How long a whole check may take, every product together; what has not answered by then has no
// information. A server that sends a byte now and then cannot hold the check (or the window) longer.
inline constexpr uint32_t kUpdateCheckDeadlineMs = 30000;

// Where a check stands; the first four numbers are the settings window's states.
enum class UpdateCheckState : int {
    Checking = 0,
    Available = 1,     // at least one product can be updated
    NoInformation = 2, // no product reached the server (also: nothing to check)
    UpToDate = 4,
    NotConfigured = 10, // no server address: nothing was contacted
    Cancelled = 11,     // stopped before it ended; the records not yet checked keep their placeholders
};

// "available", "up-to-date", "no-information", "not-configured", "cancelled", "checking".
const char* UpdateCheckStateName(UpdateCheckState state);

// The record a product shows before its answer arrives: the table's display name, the installed
// version text, status up to date.
UpdateRecord PlaceholderRecord(const UpdateProduct& product);

// The record for a product from the client's outcome and the answer text. Only a 2xx answer that
// arrived whole and is a JSON object with a non-empty "name" and a "version" (text or number) is
// known; anything else (not sent, another status, cut at the buffer's bound, not JSON, wrong types)
// leaves the product unknown. `reached` tells whether an HTTP answer arrived at all. A "version"
// text that is not a number reads as 0 (up to date).
UpdateRecord RecordFromAnswer(const UpdateProduct& product, const HttpResult& http,
                              const std::string& answer);

// The overall result of finished records: Available when any has status 1, else UpToDate when every
// product is known, else NoInformation (also for no record).
UpdateCheckState OverallResult(const std::vector<UpdateRecord>& records);

// "<base>updates", with a "/" put between when the base does not end with one.
std::string UpdateUrl(const std::string& apiBase);

class CUpdateCheck {
  public:
    // Callbacks run on the thread that runs the check; a window queues them to its own thread.
    struct Listener {
        std::function<void(UpdateCheckState)> onState;                  // Checking first, then the result
        std::function<void(std::size_t, const UpdateRecord&)> onRecord; // after each product, list order
    };

    // `apiBase`: the server's API base address ("http://host/api/"); empty means no server is
    // configured. `products`: from BuildProductList.
    CUpdateCheck(std::string apiBase, std::vector<UpdateProduct> products);
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;

    void SetListener(Listener listener) { m_listener = std::move(listener); }
    // Applied to the client before every request, after it has been reset to its defaults.
    HttpSettings& Http() { return m_http; }
    // When set, the last-check file is written with `date` after every product (as the window does).
    void SetLastCheckFile(std::string path, std::string date);

    const std::vector<UpdateProduct>& Products() const { return m_products; }
    // The placeholders before the check; the results once Run has returned. Not to be read while
    // the check runs on another thread: use the listener then.
    const std::vector<UpdateRecord>& Records() const { return m_records; }
    // The number of products the last run got no information for (no answer, an unusable one, or
    // none in time).
    std::size_t Failures() const { return m_failures; }

    // Runs the whole check: one request after the other, in list order, within `deadlineMs` for
    // them all. Ends early as Cancelled when Cancel was called or `stop` is set (it is looked at
    // about every 100 ms during a request).
    // Without a server address, ends at once as NotConfigured.
    UpdateCheckState Run(const StopEvent* stop = nullptr, uint32_t deadlineMs = kUpdateCheckDeadlineMs);

    // Runs the check in the slot of `slots` (its stop event cancels it); false when the slot is busy.
    // The check object must outlive the slot's thread (stop the slots first).
    bool StartIn(WorkerSlots& slots, int slot);

    // Ends the check as soon as possible, the request under way included. Any thread; sticky.
    void Cancel();
    bool CancelRequested() const { return m_cancel.load(); }

  private:
    void Report(UpdateCheckState state);

    std::string m_apiBase;
    std::vector<UpdateProduct> m_products;
    std::vector<UpdateRecord> m_records;
    std::size_t m_failures = 0;
    Listener m_listener;
    HttpSettings m_http;
    CHttpClient m_client;
    std::atomic<bool> m_cancel{false};
    std::string m_lastCheckFile;
    std::string m_lastCheckDate;
};

} // namespace nk7x
