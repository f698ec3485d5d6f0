#include "update/HttpClient.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/DebugLog.h"
#include "update/CurlLibrary.h"

namespace nk7x {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// What the transfer callbacks fill in.
struct Transfer {
    std::string* answer = nullptr;
    std::size_t limit = 0;
    bool truncated = false;
    bool sent = false;
};

size_t OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    const std::size_t room = t->limit - t->answer->size();
    if (bytes > room) {
        // Keep what fits and stop the transfer: the rest is never read into memory.
        t->answer->append(data, room);
        t->truncated = true;
        return 0;
    }
    t->answer->append(data, bytes);
    return bytes;
}

// The request counts as sent once its header block has gone out on the connection.
int OnDebug(CURL*, curl_infotype type, char*, size_t, void* user) {
    if (type == CURLINFO_HEADER_OUT)
        static_cast<Transfer*>(user)->sent = true;
    return 0;
}

struct EasyDeleter {
    const CurlApi* api;
    void operator()(CURL* c) const { api->easy_cleanup(c); }
};
struct MultiDeleter {
    const CurlApi* api;
    void operator()(CURLM* m) const { api->multi_cleanup(m); }
};
struct ListDeleter {
    const CurlApi* api;
    void operator()(curl_slist* l) const { api->slist_free_all(l); }
};

} // namespace

CHttpClient::CHttpClient() = default;

void CHttpClient::ResetSettings() {
    m_settings = HttpSettings{};
}

void CHttpClient::Abort() {
    m_abort.store(true);
    std::lock_guard lock(m_wakeMutex);
    // A session to wake exists only once the library was opened.
    if (m_wake)
        Curl()->multi_wakeup(static_cast<CURLM*>(m_wake));
}

void CHttpClient::ClearAbort() {
    m_abort.store(false);
}

HttpResult CHttpClient::Request(std::string_view method, const std::string& url, const uint8_t* body,
                                std::size_t length, std::string& answer, std::size_t limit) {
    HttpResult result;
    const bool post = EqualsNoCase(method, "POST");
    if (!post && !EqualsNoCase(method, "GET")) {
        m_lastError.store(kHttpErrorBadMethod);
        result.bytes = -1;
        return result;
    }
    if (url.empty()) {
        m_lastError.store(kHttpErrorEmptyUrl);
        result.bytes = -1;
        return result;
    }
    m_lastError.store(0);
    if (!body)
        length = 0;

    const CurlApi* api = Curl();
    if (!api) {
        m_lastError.store(kHttpTransferErrorBase + CURLE_FAILED_INIT);
        result.bytes = -1;
        return result;
    }
    std::unique_ptr<CURL, EasyDeleter> easy(api->easy_init(), EasyDeleter{api});
    std::unique_ptr<CURLM, MultiDeleter> multi(api->multi_init(), MultiDeleter{api});
    if (!easy || !multi) {
        m_lastError.store(kHttpTransferErrorBase + CURLE_FAILED_INIT);
        result.bytes = -1;
        return result;
    }
    answer.clear();
    Transfer transfer;
    transfer.answer = &answer;
    transfer.limit = limit;

    // The header block the update server expects; "Expect:" keeps the library from holding the body
    // back for a 100-continue answer the server never gives.
    curl_slist* raw = nullptr;
    const std::string contentLength = "Content-Length: " + std::to_string(length);
    for (const char* line : {contentLength.c_str(), "Content-Type: application/x-www-form-urlencoded",
                             "Accept:application/prs.Tavro.v1+json", "Expect:"}) {
        curl_slist* next = api->slist_append(raw, line);
        if (!next) {
            api->slist_free_all(raw);
            m_lastError.store(kHttpTransferErrorBase + CURLE_OUT_OF_MEMORY);
            result.bytes = -1;
            return result;
        }
        raw = next;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers(raw, ListDeleter{api});

    CURL* c = easy.get();
    api->easy_setopt(c, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    api->easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    api->easy_setopt(c, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    api->easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    api->easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    api->easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    if (!m_settings.userAgent.empty())
        api->easy_setopt(c, CURLOPT_USERAGENT, m_settings.userAgent.c_str());
    api->easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    if (post) {
        api->easy_setopt(c, CURLOPT_POST, 1L);
    } else if (length > 0) {
        api->easy_setopt(c, CURLOPT_CUSTOMREQUEST, "GET"); // a GET that carries the body as well
    } else {
        api->easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    if (post || length > 0) {
        api->easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
        api->easy_setopt(c, CURLOPT_POSTFIELDS, length > 0 ? reinterpret_cast<const char*>(body) : "");
    }

    // Certificates are checked, authority and name both: an update answer from anyone on the path
    // must not be taken for the server's. A refused certificate counts as an unreachable server.
    api->easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    api->easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_settings.caFile.empty())
        api->easy_setopt(c, CURLOPT_CAINFO, m_settings.caFile.c_str());

    const long connectMs =
        static_cast<long>(m_settings.connectTimeoutMs) +
        (m_settings.connectTimeoutMs ? static_cast<long>(m_settings.resolveTimeoutMs) : 0L);
    api->easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    const uint32_t stallMs = std::max(m_settings.sendTimeoutMs, m_settings.receiveTimeoutMs);
    if (stallMs > 0) {
        api->easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        api->easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>((stallMs + 999) / 1000));
    }

    api->easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnWrite);
    api->easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    api->easy_setopt(c, CURLOPT_DEBUGFUNCTION, &OnDebug);
    api->easy_setopt(c, CURLOPT_DEBUGDATA, &transfer);
    api->easy_setopt(c, CURLOPT_VERBOSE, 1L); // feeds OnDebug only; nothing is printed

    CURLcode code = CURLE_OK;
    bool finished = false;
    if (api->multi_add_handle(multi.get(), c) != CURLM_OK) {
        code = CURLE_FAILED_INIT;
    } else {
        {
            std::lock_guard lock(m_wakeMutex);
            m_wake = multi.get();
        }
        auto stopping = [this] { return m_abort.load() || (m_stopQuery && m_stopQuery()); };
        while (!stopping()) {
            int running = 0;
            if (api->multi_perform(multi.get(), &running) != CURLM_OK)
                break;
            if (running == 0) {
                int left = 0;
                while (CURLMsg* msg = api->multi_info_read(multi.get(), &left)) {
                    if (msg->msg == CURLMSG_DONE && msg->easy_handle == c) {
                        code = msg->data.result;
                        finished = true;
                    }
                }
                break;
            }
            if (api->multi_poll(multi.get(), nullptr, 0, m_stopQuery ? 100 : 1000, nullptr) != CURLM_OK)
                break;
        }
        {
            std::lock_guard lock(m_wakeMutex);
            m_wake = nullptr;
        }
        if (!finished && code == CURLE_OK)
            code = stopping() ? CURLE_ABORTED_BY_CALLBACK : CURLE_RECV_ERROR;
        api->multi_remove_handle(multi.get(), c);
    }

    long status = 0;
    api->easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.status = status;
    result.truncated = transfer.truncated;
    if (code != CURLE_OK && !(transfer.truncated && code == CURLE_WRITE_ERROR)) {
        m_lastError.store(kHttpTransferErrorBase + static_cast<uint32_t>(code));
        DebugLog("HTTP request failed: " + std::string(api->easy_strerror(code)));
    }
    result.sent = transfer.sent;
    if (!transfer.sent) {
        answer = kNoLinkServer;
        result.bytes = 0;
        return result;
    }
    result.bytes = static_cast<int>(answer.size());
    return result;
}

} // namespace nk7x
