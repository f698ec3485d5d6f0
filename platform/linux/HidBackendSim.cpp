// Emulated interfaces: NAME-miNN.sock (a SOCK_SEQPACKET listener) with NAME-miNN.info and
// NAME-miNN.rdesc beside it, in the folder NK7X_SIM_DIR names.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/linux/HidFdConnection.h"
#include "platform/linux/HidNodes.h"

namespace nk7x {

namespace {

constexpr size_t kMaxDescriptorBytes = 4096;
constexpr size_t kMaxInfoBytes = 4096;
constexpr const char* kSocketSuffix = ".sock";

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool ParseNumber(const std::string& text, unsigned long limit, unsigned long& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > limit || text[0] == '-')
        return false;
    out = v;
    return true;
}

bool ReadSmallFile(const std::string& path, std::string& out, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(limit + 1, '\0');
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (got > limit)
        return false;
    out.resize(got);
    return true;
}

// The "key=value" lines; vendor and product are required.
bool ReadInfo(const std::string& path, HidNodeIdentity& id) {
    std::string text;
    if (!ReadSmallFile(path, text, kMaxInfoBytes))
        return false;
    std::istringstream lines(text);
    std::string line;
    bool vendor = false, product = false;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        unsigned long v = 0;
        if (key == "vendor" && ParseNumber(value, 0xFFFF, v)) {
            id.vendorId = static_cast<uint16_t>(v);
            vendor = true;
        } else if (key == "product" && ParseNumber(value, 0xFFFF, v)) {
            id.productId = static_cast<uint16_t>(v);
            product = true;
        } else if (key == "version" && ParseNumber(value, 0xFFFF, v)) {
            id.version = static_cast<uint16_t>(v);
        } else if (key == "interface" && ParseNumber(value, 0xFF, v)) {
            id.interfaceNumber = static_cast<int>(v);
        }
    }
    return vendor && product;
}

bool ReadDescriptor(const std::string& path, std::vector<uint8_t>& out) {
    std::string bytes;
    if (!ReadSmallFile(path, bytes, kMaxDescriptorBytes) || bytes.empty())
        return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

// "/dir/NAME-mi01.sock" -> "/dir/NAME-mi01"; empty when the name is not of that form.
std::string BaseOf(const std::string& socketPath, int* interfaceFromName = nullptr) {
    const size_t suffix = std::strlen(kSocketSuffix);
    if (socketPath.size() <= suffix ||
        socketPath.compare(socketPath.size() - suffix, suffix, kSocketSuffix) != 0)
        return {};
    std::string base = socketPath.substr(0, socketPath.size() - suffix);
    // NAME-miNN: at least one character of NAME, then "-mi" and two hex digits.
    const size_t slash = base.find_last_of('/');
    const std::string name = slash == std::string::npos ? base : base.substr(slash + 1);
    if (name.size() < 6 || name.compare(name.size() - 5, 3, "-mi") != 0)
        return {};
    unsigned long nn = 0;
    if (!std::isxdigit(static_cast<unsigned char>(name[name.size() - 2])) ||
        !std::isxdigit(static_cast<unsigned char>(name[name.size() - 1])) ||
        !ParseNumber("0x" + name.substr(name.size() - 2), 0xFF, nn))
        return {};
    if (interfaceFromName)
        *interfaceFromName = static_cast<int>(nn);
    return base;
}

class EmulatedConnection final : public HidFdConnection {
  public:
    EmulatedConnection(int fd, bool read, bool write, std::string base)
        : HidFdConnection(fd, true, read, write), m_base(std::move(base)) {}

    bool ReportDescriptor(std::vector<uint8_t>& out) override {
        return ReadDescriptor(m_base + ".rdesc", out);
    }

    bool Identity(HidNodeIdentity& out) override {
        out = HidNodeIdentity{};
        int fromName = -1;
        BaseOf(m_base + kSocketSuffix, &fromName);
        out.interfaceNumber = fromName;
        return ReadInfo(m_base + ".info", out);
    }

  private:
    std::string m_base;
};

} // namespace

bool EnumerateEmulatedInterfaces(const std::string& folder, std::vector<HidInterfaceRecord>& out) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return true; // no emulator running: nothing to list
    std::vector<HidInterfaceRecord> found;
    while (dirent* ent = ::readdir(dir)) {
        const std::string path = folder + "/" + ent->d_name;
        int fromName = -1;
        const std::string base = BaseOf(path, &fromName);
        if (base.empty())
            continue;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        HidNodeIdentity id;
        id.interfaceNumber = fromName;
        HidInterfaceRecord rec;
        if (!ReadInfo(base + ".info", id) || !ReadDescriptor(base + ".rdesc", rec.reportDescriptor))
            continue;
        rec.kind = HidNodeKind::Emulated;
        rec.node = path;
        rec.vendorId = id.vendorId;
        rec.productId = id.productId;
        rec.version = id.version;
        rec.interfaceNumber = id.interfaceNumber;
        found.push_back(std::move(rec));
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const HidInterfaceRecord& a, const HidInterfaceRecord& b) { return a.node < b.node; });
    for (HidInterfaceRecord& r : found)
        out.push_back(std::move(r));
    return true;
}

std::shared_ptr<IHidConnection> OpenEmulatedNode(const std::string& socketPath, bool read, bool write,
                                                 int* error) {
    auto fail = [&](int e) {
        if (error)
            *error = e;
        return std::shared_ptr<IHidConnection>();
    };
    const std::string base = BaseOf(socketPath);
    if (base.empty())
        return fail(ENOENT);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path)
        return fail(ENAMETOOLONG);
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(errno);
    int r;
    do {
        r = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        const int e = errno;
        ::close(fd);
        return fail(e);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        const int e = errno;
        ::close(fd);
        return fail(e);
    }
    auto c = std::make_shared<EmulatedConnection>(fd, read, write, base);
    if (!c->Valid())
        return fail(EMFILE);
    return c;
}

} // namespace nk7x
