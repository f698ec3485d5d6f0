#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <strings.h>

namespace nk7x::test {

namespace {

bool AddExtension(X509* cert, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// The number after "Content-Length:" in a header block, 0 when there is none.
size_t ContentLength(const std::string& head) {
    size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        static constexpr char kName[] = "content-length:";
        if (head.size() - at >= sizeof kName - 1 &&
            ::strncasecmp(head.c_str() + at, kName, sizeof kName - 1) == 0)
            return static_cast<size_t>(std::strtoul(head.c_str() + at + sizeof kName - 1, nullptr, 10));
    }
    return 0;
}

} // namespace

TestCertificate::TestCertificate(const std::string& name) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    if (!key || !cert) {
        EVP_PKEY_free(key);
        X509_free(cert);
        return;
    }
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* subject = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("nk7x test"), -1, -1, 0);
    X509_set_issuer_name(cert, subject);
    const bool ok = AddExtension(cert, NID_basic_constraints, "critical,CA:TRUE") &&
                    AddExtension(cert, NID_subject_alt_name, name) && X509_sign(cert, key, EVP_sha256()) > 0;
    std::string path = (std::filesystem::temp_directory_path() / "nk7x-cert-XXXXXX").string();
    const int fd = ::mkstemp(path.data());
    FILE* file = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
    const bool written = ok && file && PEM_write_X509(file, cert) == 1;
    if (file)
        std::fclose(file);
    else if (fd >= 0)
        ::close(fd);
    m_pemFile = path;
    if (!written) {
        EVP_PKEY_free(key);
        X509_free(cert);
        return;
    }
    m_cert = cert;
    m_key = key;
}

TestCertificate::~TestCertificate() {
    X509_free(static_cast<X509*>(m_cert));
    EVP_PKEY_free(static_cast<EVP_PKEY*>(m_key));
    if (!m_pemFile.empty())
        ::unlink(m_pemFile.c_str());
}

TestHttpServer::TestHttpServer(Handler handler, const TestCertificate* tls)
    : m_handler(std::move(handler)), m_tls(tls) {
    std::signal(SIGPIPE, SIG_IGN); // a client that hung up must not end the test program
    KeepLoopbackOffProxies();
    if (m_tls) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
        if (!ctx || !m_tls->Valid() ||
            SSL_CTX_use_certificate(ctx, static_cast<X509*>(m_tls->Certificate())) != 1 ||
            SSL_CTX_use_PrivateKey(ctx, static_cast<EVP_PKEY*>(m_tls->Key())) != 1) {
            SSL_CTX_free(ctx);
            return;
        }
        m_ctx = ctx;
    }
    if (::pipe(m_stopPipe) != 0)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    m_listen = fd;
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
    if (m_stopPipe[1] >= 0) {
        const char c = 's';
        [[maybe_unused]] const ssize_t n = ::write(m_stopPipe[1], &c, 1);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
    for (int fd : m_stopPipe)
        if (fd >= 0)
            ::close(fd);
    SSL_CTX_free(static_cast<SSL_CTX*>(m_ctx));
}

std::string TestHttpServer::Origin() const {
    return std::string(m_tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port);
}

std::vector<TestHttpServer::Request> TestHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string TestHttpServer::Answer(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

void TestHttpServer::Serve() {
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        m_accepted.fetch_add(1);
        if (m_closeOnAccept.load()) {
            ::close(fd);
            continue;
        }
        ServeConnection(fd);
        ::close(fd);
    }
}

void TestHttpServer::ServeConnection(int fd) {
    SSL* ssl = nullptr;
    if (m_ctx) {
        ssl = SSL_new(static_cast<SSL_CTX*>(m_ctx));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) <= 0) {
            ERR_clear_error();
            m_handshakeFailures.fetch_add(1);
            SSL_free(ssl);
            return;
        }
    }
    // Waits for bytes or the stop request; false on stop.
    auto wait = [&] {
        if (ssl && SSL_pending(ssl) > 0)
            return true;
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        while (::poll(fds, 2, -1) < 0) {
        }
        return fds[1].revents == 0;
    };
    auto readSome = [&](char* buf, int size) -> int {
        if (!wait())
            return -1;
        return ssl ? SSL_read(ssl, buf, size)
                   : static_cast<int>(::recv(fd, buf, static_cast<size_t>(size), 0));
    };
    Request request;
    char buf[4096];
    size_t headEnd = std::string::npos;
    bool complete = false;
    for (;;) {
        if (headEnd == std::string::npos) {
            headEnd = request.raw.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                headEnd += 4;
                request.head = request.raw.substr(0, headEnd);
            }
        }
        if (headEnd != std::string::npos && request.raw.size() >= headEnd + ContentLength(request.head)) {
            complete = true;
            break;
        }
        const int n = readSome(buf, sizeof buf);
        if (n <= 0)
            break;
        request.raw.append(buf, static_cast<size_t>(n));
    }
    if (complete) {
        request.body = request.raw.substr(headEnd);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        m_requestCount.fetch_add(1);
        const Reply reply = m_handler(request);
        if (reply.action == Action::Answer) {
            size_t done = 0;
            while (done < reply.bytes.size()) {
                const size_t chunk = std::min<size_t>(reply.bytes.size() - done, 16384);
                const int n =
                    ssl ? SSL_write(ssl, reply.bytes.data() + done, static_cast<int>(chunk))
                        : static_cast<int>(::send(fd, reply.bytes.data() + done, chunk, MSG_NOSIGNAL));
                if (n <= 0)
                    break; // the client stopped reading and hung up
                done += static_cast<size_t>(n);
            }
            if (ssl)
                SSL_shutdown(ssl);
        } else if (reply.action == Action::Trickle && !ssl) {
            for (char c : reply.bytes) {
                pollfd stop{m_stopPipe[0], POLLIN, 0};
                if (::poll(&stop, 1, reply.gapMs) != 0 || ::send(fd, &c, 1, MSG_NOSIGNAL) != 1)
                    break; // the server stops, or the client hung up
            }
        } else if (reply.action == Action::Hold) {
            // Silent until the server stops or the client hangs up.
            for (;;) {
                pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
                if (::poll(fds, 2, -1) < 0)
                    continue;
                if (fds[1].revents || ::recv(fd, buf, sizeof buf, 0) <= 0)
                    break;
            }
        }
    }
    if (ssl) {
        ERR_clear_error();
        SSL_free(ssl);
    }
}

RefusingPort::RefusingPort() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        m_port = ntohs(addr.sin_port);
}

RefusingPort::~RefusingPort() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void KeepLoopbackOffProxies() {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
}

} // namespace nk7x::test
