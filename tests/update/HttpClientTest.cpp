// The HTTP client against a real server on the loopback interface: the bytes of the request, the
// answers it takes, the bound on the answer, failures before and after sending, proxies and TLS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "TestHttpServer.h"
#include "support/Wait.h"
#include "update/HttpClient.h"

using namespace nk7x;
using namespace nk7x::test;

namespace {

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TestHttpServer::Reply Ok(const std::string& body) {
    return {TestHttpServer::Action::Answer, TestHttpServer::Answer(200, body)};
}

// The value of header `name` exactly as it came ("Name: value" or "Name:value"), or "(absent)".
std::string HeaderLine(const std::string& head, const std::string& name) {
    const size_t at = head.find("\r\n" + name + ":");
    if (at == std::string::npos)
        return "(absent)";
    const size_t begin = at + 2;
    return head.substr(begin, head.find("\r\n", begin) - begin);
}

} // namespace

TEST(HttpRequest, SendsTheFixedHeaderBlockAndTheBodyWithItsZero) {
    TestHttpServer server([](const TestHttpServer::Request&) { return Ok(R"({"name":"x"})"); });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string body = "app_key=TAVRO_1_QX20M31B_Norla Keys NK-7X_1&version=105";
    body.push_back('\0');
    std::string answer;
    const HttpResult r =
        client.Request("POST", server.Origin() + "/api/updates", Bytes(body), body.size(), answer);
    EXPECT_EQ(r.bytes, 12);
    EXPECT_EQ(answer, R"({"name":"x"})");
    EXPECT_TRUE(r.sent);
    EXPECT_FALSE(r.truncated);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(client.LastError(), 0u);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& head = requests[0].head;
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /api/updates HTTP/1.1");
    EXPECT_EQ(HeaderLine(head, "Content-Length"), "Content-Length: " + std::to_string(body.size()));
    EXPECT_EQ(HeaderLine(head, "Content-Type"), "Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(HeaderLine(head, "Accept"), "Accept:application/prs.Tavro.v1+json"); // no blank after ':'
    EXPECT_EQ(HeaderLine(head, "Expect"), "(absent)");
    EXPECT_EQ(HeaderLine(head, "Transfer-Encoding"), "(absent)");
    EXPECT_EQ(requests[0].body, body); // the terminating zero travels too
    EXPECT_EQ(requests[0].body.back(), '\0');
}

TEST(HttpRequest, MethodIsCheckedWithoutRegardToCaseAndSentInUpperCase) {
    TestHttpServer server([](const TestHttpServer::Request&) { return Ok("{}"); });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string answer;
    const std::string body = "a=1";
    EXPECT_EQ(client.Request("post", server.Origin() + "/p", Bytes(body), body.size(), answer).bytes, 2);
    EXPECT_EQ(client.Request("Get", server.Origin() + "/g", nullptr, 0, answer).bytes, 2);

    answer = "untouched";
    EXPECT_EQ(client.Request("PUT", server.Origin() + "/x", Bytes(body), body.size(), answer).bytes, -1);
    EXPECT_EQ(client.LastError(), kHttpErrorBadMethod);
    EXPECT_EQ(client.Request("POSTS", server.Origin() + "/x", nullptr, 0, answer).bytes, -1);
    EXPECT_EQ(client.LastError(), 87u);
    EXPECT_EQ(client.Request("GET", "", nullptr, 0, answer).bytes, -1);
    EXPECT_EQ(client.LastError(), kHttpErrorEmptyUrl);
    EXPECT_EQ(answer, "untouched");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u); // the refused ones never left
    EXPECT_EQ(requests[0].head.substr(0, 15), "POST /p HTTP/1.");
    EXPECT_EQ(requests[0].body, "a=1");
    EXPECT_EQ(requests[1].head.substr(0, 14), "GET /g HTTP/1.");
    EXPECT_EQ(HeaderLine(requests[1].head, "Content-Length"), "Content-Length: 0");
    EXPECT_EQ(requests[1].body, "");
}

TEST(HttpRequest, EmptyPostBodySendsLengthZeroAndNoBody) {
    TestHttpServer server([](const TestHttpServer::Request&) { return Ok("ok"); });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string answer;
    EXPECT_EQ(client.Request("POST", server.Origin() + "/e", nullptr, 0, answer).bytes, 2);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(HeaderLine(requests[0].head, "Content-Length"), "Content-Length: 0");
    EXPECT_EQ(requests[0].raw.size(), requests[0].head.size());
}

TEST(HttpRequest, AnyStatusIsAcceptedWithItsBody) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Answer,
                                     TestHttpServer::Answer(500, "<h1>internal error</h1>")};
    });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string answer;
    const HttpResult r = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer);
    EXPECT_EQ(r.bytes, 23);
    EXPECT_EQ(answer, "<h1>internal error</h1>");
    EXPECT_EQ(r.status, 500);
    EXPECT_TRUE(r.sent);
}

TEST(HttpRequest, NothingListeningReadsAsNoLinkServer) {
    RefusingPort port;
    ASSERT_NE(port.Port(), 0);
    KeepLoopbackOffProxies();
    CHttpClient client;
    std::string answer = "old";
    const HttpResult r = client.Request(
        "POST", "http://127.0.0.1:" + std::to_string(port.Port()) + "/api/updates", nullptr, 0, answer);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(answer, kNoLinkServer);
    EXPECT_GT(client.LastError(), kHttpTransferErrorBase);

    // A scheme other than http and https is not used at all.
    answer.clear();
    EXPECT_EQ(client.Request("GET", "file:///etc/passwd", nullptr, 0, answer).bytes, 0);
    EXPECT_EQ(answer, kNoLinkServer);
}

TEST(HttpRequest, ServerThatClosesAfterTheRequestGivesNoBytesAndNoMarker) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Close, {}};
    });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string answer;
    const HttpResult r = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(answer, "");
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST(HttpRequest, LongAnswerIsCutAtTheBoundAndFlagged) {
    std::string big(200000, 'a');
    for (size_t i = 0; i < big.size(); i += 1000)
        big[i] = static_cast<char>('0' + (i / 1000) % 10); // so a misplaced chunk would show
    const std::string exact(kHttpAnswerLimit, 'e');
    TestHttpServer server([&](const TestHttpServer::Request& request) {
        return Ok(request.head.starts_with("POST /big ") ? big : exact);
    });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string answer;
    const HttpResult r = client.Request("POST", server.Origin() + "/big", nullptr, 0, answer);
    EXPECT_EQ(r.bytes, static_cast<int>(kHttpAnswerLimit));
    EXPECT_EQ(answer.size(), kHttpAnswerLimit);
    EXPECT_TRUE(r.truncated);
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(answer, big.substr(0, kHttpAnswerLimit));

    // Exactly at the bound is not cut.
    const HttpResult full = client.Request("POST", server.Origin() + "/exact", nullptr, 0, answer);
    EXPECT_EQ(full.bytes, static_cast<int>(kHttpAnswerLimit));
    EXPECT_FALSE(full.truncated);
    EXPECT_EQ(answer, exact);
}

TEST(HttpRequest, SilentServerEndsAtTheReceiveTimeOutAsSentWithNoBytes) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Hold, {}};
    });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    client.Settings().receiveTimeoutMs = 1000;
    client.Settings().sendTimeoutMs = 1000;
    std::string answer;
    const HttpResult r = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(answer, "");
    EXPECT_GT(client.LastError(), kHttpTransferErrorBase);
    client.ResetSettings();
    EXPECT_EQ(client.Settings().receiveTimeoutMs, 30000u);
    EXPECT_EQ(client.Settings().connectTimeoutMs, 60000u);
}

TEST(HttpRequest, AbortFromAnotherThreadEndsAWaitingRequest) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Hold, {}};
    });
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    HttpResult r;
    std::string answer;
    std::thread t([&] { r = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer); });
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() == 1; }));
    client.Abort();
    t.join();
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_TRUE(client.AbortRequested());
    // Sticky: the next request does not go out.
    EXPECT_EQ(client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer).bytes, 0);
    EXPECT_EQ(server.Accepted(), 1);
}

TEST(HttpRequest, ProxyComesFromTheEnvironment) {
    TestHttpServer proxy([](const TestHttpServer::Request&) { return Ok("via proxy"); });
    ASSERT_TRUE(proxy.Started());
    ::setenv("http_proxy", proxy.Origin().c_str(), 1);
    CHttpClient client;
    std::string answer;
    const HttpResult r = client.Request("POST", "http://updates.invalid/api/updates", nullptr, 0, answer);
    ::unsetenv("http_proxy");
    EXPECT_EQ(answer, "via proxy");
    EXPECT_EQ(r.bytes, 9);
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head.substr(0, requests[0].head.find("\r\n")),
              "POST http://updates.invalid/api/updates HTTP/1.1");
}

TEST(HttpsRequest, SelfSignedCertificateIsRefusedAsNotReachable) {
    TestCertificate cert("IP:127.0.0.1");
    ASSERT_TRUE(cert.Valid());
    TestHttpServer server([](const TestHttpServer::Request&) { return Ok(R"({"name":"spoofed"})"); }, &cert);
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    std::string answer;
    const HttpResult r = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_EQ(answer, kNoLinkServer);
    EXPECT_GT(client.LastError(), kHttpTransferErrorBase);
    EXPECT_TRUE(WaitUntil([&] { return server.HandshakeFailures() == 1; }));
    EXPECT_EQ(server.RequestCount(), 0);

    // The same server is reached once its certificate is trusted: the refusal above was the check.
    client.Settings().caFile = cert.PemFile();
    const HttpResult trusted = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer);
    EXPECT_TRUE(trusted.sent);
    EXPECT_EQ(answer, R"({"name":"spoofed"})");
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST(HttpsRequest, TrustedCertificateForAnotherNameIsRefused) {
    TestCertificate cert("DNS:other.example");
    ASSERT_TRUE(cert.Valid());
    TestHttpServer server([](const TestHttpServer::Request&) { return Ok("{}"); }, &cert);
    ASSERT_TRUE(server.Started());
    CHttpClient client;
    client.Settings().caFile = cert.PemFile();
    std::string answer;
    const HttpResult r = client.Request("POST", server.Origin() + "/api/updates", nullptr, 0, answer);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(answer, kNoLinkServer);
    EXPECT_EQ(server.RequestCount(), 0);
}
