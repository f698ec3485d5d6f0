#include "link/hid/HidTransport.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "link/hid/HidPath.h"
#include "link/hid/ReportItems.h"
#include "platform/DebugLog.h"
#include "platform/HidBackend.h"

namespace nk7x {

// What a transfer needs of one open handle. A transfer holds its own reference, so the connection
// and the report-id filter outlive a Close that runs while it waits.
struct CHidTransport::Session {
    std::shared_ptr<IHidConnection> connection;
    bool canRead = false;
    bool canWrite = false;
    bool usesReportIds = false;
    uint16_t inputLength = 0;
    std::array<bool, 256> inputIds{};
    std::array<uint16_t, 256> outputLengths{}; // per report id; 0 = no such output report
    std::atomic<bool> setOutputRefused{false}; // the node refused SET_REPORT once: write from then on
};

// Running transfers, counted under a mutex that also guards the session pointer. Close and
// destruction wait here until every aborted transfer has left the object.
struct CHidTransport::Gate {
    std::mutex mutex;
    std::condition_variable idle;
    int active = 0;
};

namespace {

HidOpenError ErrorFromErrno(int e) {
    switch (e) {
    case EACCES:
    case EPERM:
        return HidOpenError::PermissionDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ECONNREFUSED:
        return HidOpenError::NotFound;
    default:
        return HidOpenError::Other;
    }
}

int64_t TimeoutToMs(uint32_t timeoutMs) {
    return timeoutMs == kHidInfinite ? -1 : static_cast<int64_t>(timeoutMs);
}

} // namespace

const char* HidOpenErrorText(HidOpenError error) {
    switch (error) {
    case HidOpenError::None:
        return "ok";
    case HidOpenError::PathTooLong:
        return "path too long";
    case HidOpenError::BadPath:
        return "not a HID interface path";
    case HidOpenError::NotFound:
        return "device not present";
    case HidOpenError::PermissionDenied:
        return "permission denied (is the udev rule installed?)";
    case HidOpenError::ProbeFailed:
        return "device did not describe itself";
    case HidOpenError::Other:
        return "open refused";
    }
    return "unknown";
}

CHidTransport::CHidTransport() : m_gate(std::make_shared<Gate>()) {}

CHidTransport::~CHidTransport() {
    Close();
    ReleasePaths();
}

int CHidTransport::EnumeratePaths() {
    m_cursor = 0;
    m_paths.clear();
    std::vector<HidInterfaceRecord> interfaces;
    if (!EnumerateHidInterfaces(interfaces))
        return 0;
    std::vector<HidCollectionInfo> collections;
    for (const HidInterfaceRecord& rec : interfaces) {
        const HidParseError error =
            ParseReportDescriptor(rec.reportDescriptor.data(), rec.reportDescriptor.size(), collections);
        if (error != HidParseError::None)
            continue; // an interface that cannot describe itself has no collections to offer
        for (const HidCollectionInfo& c : collections)
            m_paths.push_back(FormatHidPath(rec, c.number, collections.size()));
    }
    return 1;
}

const char* CHidTransport::NextPath() {
    if (m_cursor >= m_paths.size())
        return nullptr;
    return m_paths[m_cursor++].c_str();
}

void CHidTransport::ReleasePaths() {
    m_paths.clear();
    m_paths.shrink_to_fit();
    m_cursor = 0;
}

CHidTransport::ReportSet& CHidTransport::Set(HidReportType type) {
    switch (type) {
    case HidReportType::Output:
        return m_output;
    case HidReportType::Feature:
        return m_feature;
    case HidReportType::Input:
        break;
    }
    return m_input;
}

const std::vector<HidReportItem>& CHidTransport::Items(HidReportType type) const {
    return const_cast<CHidTransport*>(this)->Set(type).items;
}

const HidCollectionInfo* CHidTransport::ParsedDescriptor() const {
    return m_descriptor.get();
}

bool CHidTransport::IsHandleOpen() const {
    return m_open.load();
}

void CHidTransport::FreeCapabilities() {
    for (ReportSet* s : {&m_input, &m_output, &m_feature}) {
        s->buffer.clear();
        s->buffer.shrink_to_fit();
        s->items.clear();
        s->items.shrink_to_fit();
    }
    m_caps = HidCaps{};
    m_descriptor.reset();
}

void CHidTransport::Close() {
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> lock(m_gate->mutex);
        session.swap(m_session);
    }
    if (session)
        session->connection->Abort();
    {
        std::unique_lock<std::mutex> lock(m_gate->mutex);
        m_gate->idle.wait(lock, [this] { return m_gate->active == 0; });
    }
    // Every transfer has let go, so this is the last reference and the node closes here.
    session.reset();
    m_open.store(false);
    FreeCapabilities();
}

int CHidTransport::Open(const std::string& path, bool read, bool write) {
    m_read = read;
    m_write = write;
    Close();
    m_lastOpenError = HidOpenError::None;
    m_lastOpenErrno = 0;
    if (path.size() >= kHidMaxPathChars) {
        m_devicePath.clear();
        m_lastOpenError = HidOpenError::PathTooLong;
        return 0;
    }
    m_devicePath = path;
    if (!Probe(path)) {
        // Discovery retries every scan; say it once per path and cause, not ten times a second.
        std::string failure = path + '\n' + HidOpenErrorText(m_lastOpenError);
        if (failure != m_lastFailureLogged) {
            DebugLogf("hid: open %s failed: %s", path.c_str(), HidOpenErrorText(m_lastOpenError));
            m_lastFailureLogged = std::move(failure);
        }
        return 0;
    }
    m_lastFailureLogged.clear();
    return 1;
}

int CHidTransport::Probe(const std::string& path) {
    HidPathParts parts;
    if (!ParseHidPath(path, parts)) {
        m_lastOpenError = HidOpenError::BadPath;
        return 0;
    }
    int error = 0;
    std::shared_ptr<IHidConnection> connection = OpenHidNode(parts.kind, parts.node, m_read, m_write, &error);
    if (!connection) {
        m_lastOpenError = ErrorFromErrno(error);
        m_lastOpenErrno = error;
        return 0;
    }
    auto probeFailed = [this](HidOpenError why) {
        FreeCapabilities();
        m_attributes = HidAttributes{};
        m_lastOpenError = why;
        return 0;
    };

    std::vector<uint8_t> bytes;
    std::vector<HidCollectionInfo> collections;
    HidNodeIdentity identity;
    if (!connection->ReportDescriptor(bytes) ||
        ParseReportDescriptor(bytes.data(), bytes.size(), collections) != HidParseError::None ||
        !connection->Identity(identity))
        return probeFailed(HidOpenError::ProbeFailed);
    // The node must still be the device the path was made for: hidraw numbers are reused after an
    // unplug, and a stale path must not reach another device.
    if (identity.vendorId != parts.vendorId || identity.productId != parts.productId ||
        (parts.interfaceNumber >= 0 && identity.interfaceNumber >= 0 &&
         identity.interfaceNumber != parts.interfaceNumber))
        return probeFailed(HidOpenError::NotFound);
    size_t index = 0;
    if (parts.collection == 0) {
        if (collections.size() != 1)
            return probeFailed(HidOpenError::BadPath);
    } else {
        if (parts.collection > collections.size())
            return probeFailed(HidOpenError::NotFound);
        index = parts.collection - 1;
    }
    m_descriptor = std::make_unique<HidCollectionInfo>(std::move(collections[index]));
    const HidCollectionInfo& info = *m_descriptor;

    m_attributes.vendorId = identity.vendorId;
    m_attributes.productId = identity.productId;
    m_attributes.versionNumber = identity.version;
    m_caps.usage = info.usage;
    m_caps.usagePage = info.usagePage;
    m_caps.inputReportByteLength = info.Report(HidReportType::Input).byteLength;
    m_caps.outputReportByteLength = info.Report(HidReportType::Output).byteLength;
    m_caps.featureReportByteLength = info.Report(HidReportType::Feature).byteLength;
    auto count = [](size_t n) { return static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n); };
    m_caps.numberInputButtonCaps = count(info.Report(HidReportType::Input).buttons.size());
    m_caps.numberInputValueCaps = count(info.Report(HidReportType::Input).values.size());
    m_caps.numberOutputButtonCaps = count(info.Report(HidReportType::Output).buttons.size());
    m_caps.numberOutputValueCaps = count(info.Report(HidReportType::Output).values.size());
    m_caps.numberFeatureButtonCaps = count(info.Report(HidReportType::Feature).buttons.size());
    m_caps.numberFeatureValueCaps = count(info.Report(HidReportType::Feature).values.size());

    size_t budget = kHidMaxUsageListEntries;
    for (HidReportType type : {HidReportType::Input, HidReportType::Output, HidReportType::Feature}) {
        ReportSet& set = Set(type);
        set.buffer.assign(info.Report(type).byteLength, 0);
        if (!BuildReportItems(info, type, set.items, budget))
            return probeFailed(HidOpenError::ProbeFailed);
    }

    auto session = std::make_shared<Session>();
    session->connection = std::move(connection);
    session->canRead = m_read;
    session->canWrite = m_write;
    session->usesReportIds = info.usesReportIds;
    session->inputLength = m_caps.inputReportByteLength;
    for (uint8_t id : info.reportIds) {
        session->inputIds[id] = info.ReportLength(HidReportType::Input, id) != 0;
        session->outputLengths[id] = info.ReportLength(HidReportType::Output, id);
    }
    {
        std::lock_guard<std::mutex> lock(m_gate->mutex);
        m_session = std::move(session);
    }
    m_open.store(true);
    return 1;
}

int CHidTransport::ReadReport(uint8_t* buffer, uint32_t length, uint32_t* transferred, uint32_t timeoutMs) {
    return Transfer(Direction::Read, buffer, length, transferred, timeoutMs);
}

int CHidTransport::WriteReport(const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                               uint32_t timeoutMs) {
    return Transfer(Direction::Write, const_cast<uint8_t*>(buffer), length, transferred, timeoutMs);
}

int CHidTransport::SetOutputReport(const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                                   uint32_t timeoutMs) {
    return Transfer(Direction::SetOutput, const_cast<uint8_t*>(buffer), length, transferred, timeoutMs);
}

int CHidTransport::Transfer(Direction direction, uint8_t* buffer, uint32_t length, uint32_t* transferred,
                            uint32_t timeoutMs) {
    const bool isRead = direction == Direction::Read;
    if (transferred)
        *transferred = 0;
    const std::shared_ptr<Gate> gate = m_gate;
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        session = m_session;
        if (!session)
            return 0;
        ++gate->active;
    }

    uint32_t done = 0;
    bool ok = false;
    IHidConnection& link = *session->connection;
    const int64_t timeout = TimeoutToMs(timeoutMs);
    if (buffer == nullptr || length == 0) {
        // refused
    } else if (isRead) {
        // A read needs room for the longest input report, as on every HID stack.
        if (session->canRead && session->inputLength != 0 && length >= session->inputLength) {
            const int64_t deadline = timeout < 0 ? -1
                                                 : std::chrono::duration_cast<std::chrono::milliseconds>(
                                                       std::chrono::steady_clock::now().time_since_epoch())
                                                           .count() +
                                                       timeout;
            std::vector<uint8_t> scratch(length);
            for (;;) {
                int64_t left = -1;
                if (deadline >= 0) {
                    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now().time_since_epoch())
                                            .count();
                    left = deadline > now ? deadline - now : 0;
                }
                size_t got = 0;
                // Without report ids the node delivers the data alone; byte 0 of the report is then 0.
                const size_t skip = session->usesReportIds ? 0 : 1;
                scratch[0] = 0;
                const HidIoResult r = link.Read(scratch.data() + skip, length - skip, &got, left);
                if (r != HidIoResult::Ok)
                    break;
                got += skip;
                if (got >= 1 && session->inputIds[scratch[0]]) {
                    std::copy(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(got), buffer);
                    done = static_cast<uint32_t>(got);
                    ok = true;
                    break;
                }
                // A report of another collection of the same interface: not ours, keep waiting.
            }
        }
    } else {
        // Only an output report of this collection, whole, may leave through its handle.
        const uint8_t id = buffer[0];
        const bool idOk = session->usesReportIds || id == 0;
        if (session->canWrite && idOk && session->outputLengths[id] != 0 &&
            length >= session->outputLengths[id]) {
            size_t sent = 0;
            HidIoResult r = HidIoResult::Refused;
            if (direction == Direction::SetOutput && !session->setOutputRefused.load()) {
                r = link.SetOutputReport(buffer, length, &sent);
                if (r == HidIoResult::Refused && !session->setOutputRefused.exchange(true))
                    DebugLogf("hid: %s takes no output report by SET_REPORT; writing them instead",
                              m_devicePath.c_str());
            }
            if (r == HidIoResult::Refused)
                r = link.Write(buffer, length, &sent, timeout);
            ok = r == HidIoResult::Ok;
            done = ok ? static_cast<uint32_t>(sent) : 0;
        }
    }

    if (transferred)
        *transferred = done;
    session.reset();
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        --gate->active;
        gate->idle.notify_all();
    }
    return ok ? 1 : 0;
}

} // namespace nk7x
