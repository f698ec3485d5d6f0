// A small HTTP (or HTTPS) server on the loopback interface for the update tests: it records every
// request as it arrived on the wire and answers each as the test says, on a thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nk7x::test {

// A self-signed certificate and key made at run time, with the certificate's PEM file on disk (for
// the client's list of trusted authorities).
class TestCertificate {
  public:
    // `name`: the certificate's subject alternative name ("IP:127.0.0.1", "DNS:other.example").
    explicit TestCertificate(const std::string& name);
    ~TestCertificate();
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;
    bool Valid() const { return m_cert && m_key; }
    const std::string& PemFile() const { return m_pemFile; }
    void* Certificate() const { return m_cert; }
    void* Key() const { return m_key; }

  private:
    void* m_cert = nullptr; // X509*
    void* m_key = nullptr;  // EVP_PKEY*
    std::string m_pemFile;
};

class TestHttpServer {
  public:
    struct Request {
        std::string raw;  // every byte received, header block and body
        std::string head; // the header block up to and including the empty line
        std::string body; // Content-Length bytes after it
    };
    enum class Action {
        Answer,  // send `bytes`, then close
        Close,   // close without a byte
        Hold,    // keep the connection open and answer nothing, until the client hangs up or the server stops
        Trickle, // send `bytes` one byte at a time, `gapMs` apart (plain connections only)
    };
    struct Reply {
        Action action = Action::Answer;
        std::string bytes;
        int gapMs = 900;
    };
    using Handler = std::function<Reply(const Request&)>;

    // Listens on 127.0.0.1 at a free port. With `tls`, every connection is TLS with that certificate.
    explicit TestHttpServer(Handler handler, const TestCertificate* tls = nullptr);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Close every connection as soon as it is accepted, before reading anything.
    void SetCloseOnAccept(bool on) { m_closeOnAccept = on; }

    bool Started() const { return m_listen >= 0; }
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" or "https://...", without a trailing slash.
    std::string Origin() const;

    std::vector<Request> Requests() const;
    int RequestCount() const { return m_requestCount.load(); }
    int Accepted() const { return m_accepted.load(); }
    int HandshakeFailures() const { return m_handshakeFailures.load(); }

    // A complete HTTP/1.1 answer with Content-Length and "Connection: close".
    static std::string Answer(int status, const std::string& body);

  private:
    void Serve();
    void ServeConnection(int fd);

    Handler m_handler;
    const TestCertificate* m_tls;
    void* m_ctx = nullptr; // SSL_CTX*
    int m_listen = -1;
    int m_port = 0;
    int m_stopPipe[2] = {-1, -1};
    std::atomic<bool> m_closeOnAccept{false};
    std::atomic<int> m_requestCount{0};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_handshakeFailures{0};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};

// A port on 127.0.0.1 where nothing listens, as long as the object lives (bound, never listening).
class RefusingPort {
  public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return m_port; }

  private:
    int m_fd = -1;
    int m_port = 0;
};

// Keeps loopback requests away from any proxy the environment names.
void KeepLoopbackOffProxies();

} // namespace nk7x::test
