// CHttpClient: one blocking HTTP or HTTPS request with the update server's fixed header block, its
// answer read into a bounded buffer. The update check is its only user; it runs on a worker thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace nk7x {

// What the answer buffer holds when the request could not be sent at all (no connection, a refused
// certificate, a time-out before the request went out, a proxy that could not be used).
inline constexpr const char* kNoLinkServer = "NO_LINK_SERVER";

// The most answer bytes kept; a longer answer is cut here and flagged as truncated.
inline constexpr std::size_t kHttpAnswerLimit = 102400;

// LastError codes for refused arguments; transfer failures are kHttpTransferErrorBase plus the
// transfer library's own code, so the two never collide.
inline constexpr uint32_t kHttpErrorBadMethod = 87;
inline constexpr uint32_t kHttpErrorEmptyUrl = 3;
inline constexpr uint32_t kHttpTransferErrorBase = 12000;

// Time-outs in milliseconds; 0 means no limit of its own. Name resolution counts towards the
// connect time-out. A send or receive time-out ends the transfer when no byte has moved for that long.
struct HttpSettings {
    std::string userAgent = "NK7X Client/1.0";
    uint32_t resolveTimeoutMs = 0;
    uint32_t connectTimeoutMs = 60000;
    uint32_t sendTimeoutMs = 30000;
    uint32_t receiveTimeoutMs = 30000;
    // Certificate authorities to trust instead of the system's (a PEM file); empty: the system's.
    // Certificates are always verified, names included.
    std::string caFile;
};

struct HttpResult {
    int bytes = 0;          // answer bytes kept; -1 for a refused argument or no transfer session
    bool sent = false;      // the request went out; false: the answer reads kNoLinkServer
    bool truncated = false; // the server sent more than the limit; the answer holds the first bytes
    long status = 0;        // the HTTP status received (not judged), 0 when none arrived
};

class CHttpClient {
  public:
    CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // The settings take their defaults (the update check does this before every request).
    void ResetSettings();
    HttpSettings& Settings() { return m_settings; }

    // Sends one request and reads the answer into `answer` (replaced, at most `limit` bytes).
    // - `method` is "GET" or "POST" in any case and is sent in upper case; anything else gives -1
    //   with LastError kHttpErrorBadMethod and leaves `answer` untouched. An empty URL gives -1 with
    //   kHttpErrorEmptyUrl. Only http and https URLs are used; others end as not sent.
    // - The headers are "Content-Length: <body length>", "Content-Type:
    //   application/x-www-form-urlencoded" and "Accept:application/prs.Tavro.v1+json" (no blank after
    //   the colon); the body is written when its length is above 0, whatever the method.
    // - When nothing could be sent, `answer` is kNoLinkServer and the result 0. Once the request
    //   went out, the result is the number of answer bytes kept, whatever the status and whether the
    //   receive ended early. Redirects are not followed: their body is the answer.
    // - Proxies come from the environment variables the transfer library honours (http_proxy,
    //   https_proxy, all_proxy, no_proxy).
    HttpResult Request(std::string_view method, const std::string& url, const uint8_t* body,
                       std::size_t length, std::string& answer, std::size_t limit = kHttpAnswerLimit);

    // The code of the last failure (see the constants above), 0 when the last request had none.
    uint32_t LastError() const { return m_lastError.load(); }

    // Ends the request under way as soon as possible, and every later one at once, from any thread.
    // Sticky until ClearAbort.
    void Abort();
    void ClearAbort();
    bool AbortRequested() const { return m_abort.load(); }

    // A question asked about every 100 ms while a request runs; true ends it as Abort does (for a
    // stop flag that cannot wake the transfer itself). Set before Request, on the same thread.
    void SetStopQuery(std::function<bool()> query) { m_stopQuery = std::move(query); }

  private:
    HttpSettings m_settings;
    std::atomic<uint32_t> m_lastError{0};
    std::atomic<bool> m_abort{false};
    std::function<bool()> m_stopQuery;
    std::mutex m_wakeMutex; // guards m_wake against Abort from another thread
    void* m_wake = nullptr; // the transfer under way, woken by Abort
};

} // namespace nk7x
