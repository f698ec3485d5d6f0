// CurlLibrary: the HTTP transfer library, opened when the first request is made rather than at
// start-up (it brings the TLS, Kerberos and LDAP stacks along, megabytes the window never uses).
// The calls are the library's own, reached through the table.
#pragma once

#include <curl/curl.h>

#include <string>

namespace nk7x {

struct CurlApi {
    CURLcode (*global_init)(long flags);
    CURL* (*easy_init)();
    void (*easy_cleanup)(CURL* easy);
    CURLcode (*easy_setopt)(CURL* easy, CURLoption option, ...);
    CURLcode (*easy_getinfo)(CURL* easy, CURLINFO info, ...);
    const char* (*easy_strerror)(CURLcode code);
    CURLM* (*multi_init)();
    CURLMcode (*multi_cleanup)(CURLM* multi);
    CURLMcode (*multi_add_handle)(CURLM* multi, CURL* easy);
    CURLMcode (*multi_remove_handle)(CURLM* multi, CURL* easy);
    CURLMcode (*multi_perform)(CURLM* multi, int* running);
    CURLMcode (*multi_poll)(CURLM* multi, struct curl_waitfd extra[], unsigned int extraCount, int timeoutMs,
                            int* ready);
    CURLMcode (*multi_wakeup)(CURLM* multi);
    CURLMsg* (*multi_info_read)(CURLM* multi, int* left);
    curl_slist* (*slist_append)(curl_slist* list, const char* line);
    void (*slist_free_all)(curl_slist* list);
};

// The library, opened and initialised once for the whole process (any thread); nullptr when it is
// missing or lacks a call, with the reason in `error` (the same reason on every later call).
const CurlApi* Curl(std::string* error = nullptr);

} // namespace nk7x
