#include "link/hid/ReportDescriptor.h"

#include <algorithm>
#include <limits>

namespace nk7x {

namespace {

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};

enum GlobalTag : uint8_t {
    kUsagePage = 0x0,
    kLogicalMin = 0x1,
    kLogicalMax = 0x2,
    kPhysicalMin = 0x3,
    kPhysicalMax = 0x4,
    kUnitExponent = 0x5,
    kUnit = 0x6,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB,
};

enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2, kDelimiter = 0xA };

constexpr uint8_t kLongItemPrefix = 0xFE;

// A number as it stood in the descriptor: the raw bytes and how many there were, so that it can be
// read signed or unsigned later.
struct RawNumber {
    uint32_t raw = 0;
    uint8_t size = 0;

    int64_t Signed() const {
        switch (size) {
        case 1:
            return static_cast<int8_t>(raw);
        case 2:
            return static_cast<int16_t>(raw);
        case 4:
            return static_cast<int32_t>(raw);
        default:
            return 0;
        }
    }
    int64_t Unsigned() const { return raw; }
};

struct GlobalState {
    uint16_t usagePage = 0;
    RawNumber logicalMin, logicalMax, physicalMin, physicalMax;
    int32_t unitExponent = 0;
    uint32_t unit = 0;
    uint32_t reportSize = 0;
    uint32_t reportId = 0;
    uint32_t reportCount = 0;
};

struct UsageEntry {
    uint16_t page = 0;
    uint16_t min = 0;
    uint16_t max = 0;
    bool isRange = false;
    uint32_t Span() const { return static_cast<uint32_t>(max) - min + 1; }
};

struct PendingUsage {
    bool set = false;
    uint16_t page = 0;
    uint16_t id = 0;
};

struct LocalState {
    std::vector<UsageEntry> usages;
    PendingUsage min, max;
    int delimiterDepth = 0;
    bool delimiterUsageTaken = false;

    void Reset() {
        usages.clear();
        min = {};
        max = {};
        delimiterUsageTaken = false;
    }
};

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A range's maximum is read unsigned when read signed it would fall below the minimum: descriptors
// write 255 as the one byte 0xFF and mean 255.
void LogicalRange(const RawNumber& lo, const RawNumber& hi, int32_t& outMin, int32_t& outMax) {
    int64_t min = lo.Signed();
    int64_t max = hi.Signed();
    if (max < min)
        max = hi.Unsigned();
    outMin = ClampToInt32(min);
    outMax = ClampToInt32(max);
}

class Parser {
  public:
    Parser(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    HidParseError Run(std::vector<HidCollectionInfo>& out) {
        size_t pos = 0;
        while (pos < m_size) {
            uint8_t prefix = m_data[pos];
            if (prefix == kLongItemPrefix) {
                // No long item tags are defined; a well-formed one is stepped over.
                if (m_size - pos < 3)
                    return HidParseError::Truncated;
                size_t length = m_data[pos + 1];
                if (m_size - pos - 3 < length)
                    return HidParseError::Truncated;
                pos += 3 + length;
                continue;
            }
            static constexpr uint8_t kSizes[4] = {0, 1, 2, 4};
            uint8_t size = kSizes[prefix & 0x3];
            uint8_t type = (prefix >> 2) & 0x3;
            uint8_t tag = prefix >> 4;
            if (m_size - pos - 1 < size)
                return HidParseError::Truncated;
            RawNumber value;
            value.size = size;
            for (uint8_t i = 0; i < size; ++i)
                value.raw |= static_cast<uint32_t>(m_data[pos + 1 + i]) << (8 * i);
            pos += 1 + size;

            HidParseError error = HidParseError::None;
            switch (type) {
            case kMain:
                error = Main(tag, value);
                break;
            case kGlobal:
                error = Global(tag, value);
                break;
            case kLocal:
                error = Local(tag, value);
                break;
            default:
                break; // reserved item type: nothing to learn from it
            }
            if (error != HidParseError::None)
                return error;
        }
        if (m_depth != 0)
            return HidParseError::UnbalancedCollection;
        if (!m_stack.empty())
            return HidParseError::UnbalancedPush;
        if (m_local.delimiterDepth != 0)
            return HidParseError::UnbalancedDelimiter;
        if (m_collections.empty())
            return HidParseError::Empty;
        for (HidCollectionInfo& c : m_collections) {
            c.usesReportIds = m_usesIds;
            if (!m_usesIds)
                c.reportIds.assign(1, 0);
        }
        out = std::move(m_collections);
        return HidParseError::None;
    }

  private:
    HidParseError Global(uint8_t tag, const RawNumber& v) {
        switch (tag) {
        case kUsagePage:
            m_global.usagePage = static_cast<uint16_t>(v.raw);
            break;
        case kLogicalMin:
            m_global.logicalMin = v;
            break;
        case kLogicalMax:
            m_global.logicalMax = v;
            break;
        case kPhysicalMin:
            m_global.physicalMin = v;
            break;
        case kPhysicalMax:
            m_global.physicalMax = v;
            break;
        case kUnitExponent:
            m_global.unitExponent = ClampToInt32(v.Signed());
            break;
        case kUnit:
            m_global.unit = v.raw;
            break;
        case kReportSize:
            m_global.reportSize = v.raw;
            break;
        case kReportCount:
            m_global.reportCount = v.raw;
            break;
        case kReportId:
            if (v.raw == 0 || v.raw > 255)
                return HidParseError::BadReportId;
            if (m_sawDataWithoutId)
                return HidParseError::MissingReportId;
            m_global.reportId = v.raw;
            m_usesIds = true;
            break;
        case kPush:
            if (m_stack.size() >= static_cast<size_t>(kHidMaxGlobalStackDepth))
                return HidParseError::GlobalStackOverflow;
            m_stack.push_back(m_global);
            break;
        case kPop:
            if (m_stack.empty())
                return HidParseError::GlobalStackUnderflow;
            m_global = m_stack.back();
            m_stack.pop_back();
            break;
        default:
            break;
        }
        return HidParseError::None;
    }

    HidParseError AddUsage(const UsageEntry& e) {
        if (m_local.delimiterDepth > 0) {
            // Of a set of alternative usages only the first one is used.
            if (m_local.delimiterUsageTaken)
                return HidParseError::None;
            m_local.delimiterUsageTaken = true;
        }
        if (m_local.usages.size() >= kHidMaxUsagesPerItem)
            return HidParseError::TooManyUsages;
        m_local.usages.push_back(e);
        return HidParseError::None;
    }

    PendingUsage Extended(const RawNumber& v) const {
        PendingUsage u;
        u.set = true;
        u.page = v.size == 4 ? static_cast<uint16_t>(v.raw >> 16) : m_global.usagePage;
        u.id = static_cast<uint16_t>(v.raw & 0xFFFF);
        return u;
    }

    HidParseError CompleteRange() {
        if (!m_local.min.set || !m_local.max.set)
            return HidParseError::None;
        UsageEntry e;
        e.page = m_local.min.page;
        e.min = m_local.min.id;
        e.max = m_local.max.id >= m_local.min.id ? m_local.max.id : m_local.min.id;
        e.isRange = e.max != e.min;
        m_local.min = {};
        m_local.max = {};
        return AddUsage(e);
    }

    HidParseError Local(uint8_t tag, const RawNumber& v) {
        switch (tag) {
        case kUsage: {
            PendingUsage u = Extended(v);
            return AddUsage(UsageEntry{u.page, u.id, u.id, false});
        }
        case kUsageMin:
            m_local.min = Extended(v);
            return CompleteRange();
        case kUsageMax:
            m_local.max = Extended(v);
            return CompleteRange();
        case kDelimiter:
            if (v.raw == 1) {
                if (m_local.delimiterDepth != 0)
                    return HidParseError::UnbalancedDelimiter;
                m_local.delimiterDepth = 1;
                m_local.delimiterUsageTaken = false;
            } else if (v.raw == 0) {
                if (m_local.delimiterDepth != 1)
                    return HidParseError::UnbalancedDelimiter;
                m_local.delimiterDepth = 0;
            }
            return HidParseError::None;
        default:
            return HidParseError::None;
        }
    }

    // A lone Usage Minimum (or Maximum) before the main item stands for that one usage.
    HidParseError FlushPendingUsage() {
        PendingUsage lone = m_local.min.set ? m_local.min : m_local.max;
        if (!lone.set)
            return HidParseError::None;
        m_local.min = {};
        m_local.max = {};
        return AddUsage(UsageEntry{lone.page, lone.id, lone.id, false});
    }

    HidParseError Main(uint8_t tag, const RawNumber& v) {
        HidParseError error = FlushPendingUsage();
        if (error != HidParseError::None)
            return error;
        switch (tag) {
        case kCollection:
            if (m_depth >= kHidMaxCollectionDepth)
                return HidParseError::NestingTooDeep;
            if (m_depth == 0) {
                HidCollectionInfo c;
                c.number = static_cast<uint32_t>(m_collections.size() + 1);
                if (!m_local.usages.empty()) {
                    c.usagePage = m_local.usages.front().page;
                    c.usage = m_local.usages.front().min;
                } else {
                    c.usagePage = m_global.usagePage;
                }
                m_collections.push_back(std::move(c));
            }
            ++m_depth;
            break;
        case kEndCollection:
            if (m_depth == 0)
                return HidParseError::UnbalancedCollection;
            --m_depth;
            break;
        case kInput:
            error = Field(HidReportType::Input, v.raw);
            break;
        case kOutput:
            error = Field(HidReportType::Output, v.raw);
            break;
        case kFeature:
            error = Field(HidReportType::Feature, v.raw);
            break;
        default:
            break; // reserved main tag
        }
        m_local.Reset();
        return error;
    }

    HidParseError Field(HidReportType type, uint32_t flags) {
        if (m_depth == 0)
            return HidParseError::MainItemOutsideCollection;
        HidCollectionInfo& col = m_collections.back();
        const int collectionIndex = static_cast<int>(m_collections.size()) - 1;
        const bool constant = (flags & 0x01) != 0;
        const bool variable = (flags & 0x02) != 0;
        const bool relative = (flags & 0x04) != 0;
        const bool nullState = (flags & 0x40) != 0;

        uint8_t id = 0;
        if (m_usesIds) {
            id = static_cast<uint8_t>(m_global.reportId);
        } else {
            m_sawDataWithoutId = true;
        }
        // A report is known by its type and id, so one id may name an input report of one
        // collection and an output or feature report of another. One report shared by two
        // collections could not be handed to either of them alone.
        const int t = static_cast<int>(type);
        int& owner = m_owner[t][id];
        if (owner == -1) {
            owner = collectionIndex;
        } else if (owner != collectionIndex) {
            return id == 0 ? HidParseError::MissingReportId : HidParseError::ReportIdInTwoCollections;
        }
        if (m_usesIds && m_listedIn[id] != collectionIndex) {
            // The first report of this id in this collection (collections come one after another).
            m_listedIn[id] = collectionIndex;
            col.reportIds.push_back(id);
        }

        const uint32_t size = m_global.reportSize;
        const uint32_t count = m_global.reportCount;
        if (size > (constant ? kHidMaxPaddingSizeBits : kHidMaxReportSizeBits))
            return HidParseError::BadReportSize;
        if (count > kHidMaxReportBytes * 8)
            return HidParseError::ReportTooLong;
        const uint64_t start = m_bits[t][id];
        const uint64_t end = start + static_cast<uint64_t>(size) * count;
        const uint64_t bytes = (end + 7) / 8 + 1;
        if (bytes > kHidMaxReportBytes)
            return HidParseError::ReportTooLong;
        m_bits[t][id] = static_cast<uint32_t>(end);
        col.reportLengths[t][id] = static_cast<uint16_t>(bytes);
        HidReportCaps& caps = col.reports[t];
        caps.byteLength = std::max(caps.byteLength, static_cast<uint16_t>(bytes));

        if (constant || size == 0 || count == 0)
            return HidParseError::None;
        m_totalFields += count;
        if (m_totalFields > kHidMaxTotalFields)
            return HidParseError::TooManyFields;

        std::vector<UsageEntry> usages = m_local.usages;
        if (usages.empty())
            usages.push_back(UsageEntry{m_global.usagePage, 0, 0, false});
        const uint32_t firstBit = static_cast<uint32_t>(start) + 8; // after the id byte
        int32_t logicalMin = 0, logicalMax = 0, physicalMin = 0, physicalMax = 0;
        LogicalRange(m_global.logicalMin, m_global.logicalMax, logicalMin, logicalMax);
        LogicalRange(m_global.physicalMin, m_global.physicalMax, physicalMin, physicalMax);

        if (!variable) {
            // An array: every field holds an index into the item's usages, taken in order.
            uint32_t base = 0;
            for (const UsageEntry& u : usages) {
                if (CapCount(col) >= kHidMaxCapsPerCollection)
                    return HidParseError::TooManyCaps;
                HidButtonCap cap;
                cap.usagePage = u.page;
                cap.reportId = id;
                cap.isRange = u.isRange;
                cap.isArray = true;
                cap.usageMin = u.min;
                cap.usageMax = u.max;
                cap.arrayIndexBase = base;
                cap.logicalMin = logicalMin;
                cap.logicalMax = logicalMax;
                cap.bitPosition = firstBit;
                cap.reportSize = static_cast<uint16_t>(size);
                cap.reportCount = static_cast<uint16_t>(count);
                cap.bitField = static_cast<uint16_t>(flags);
                caps.buttons.push_back(cap);
                base += u.Span();
            }
            return HidParseError::None;
        }

        // Variables: usages are dealt to the fields in order; the last single usage takes every
        // field left over (a value array), fields beyond a last range carry no usage.
        const bool isButton = size == 1;
        uint32_t field = 0;
        for (size_t i = 0; i < usages.size() && field < count; ++i) {
            const UsageEntry& u = usages[i];
            const bool last = i + 1 == usages.size();
            uint32_t take = std::min(u.Span(), count - field);
            if (last && !u.isRange)
                take = count - field;
            if (CapCount(col) >= kHidMaxCapsPerCollection)
                return HidParseError::TooManyCaps;
            const uint16_t usageMax = u.isRange ? static_cast<uint16_t>(u.min + take - 1) : u.min;
            const uint32_t bit = firstBit + field * size;
            if (isButton) {
                HidButtonCap cap;
                cap.usagePage = u.page;
                cap.reportId = id;
                cap.isRange = u.isRange;
                cap.usageMin = u.min;
                cap.usageMax = usageMax;
                cap.logicalMin = logicalMin;
                cap.logicalMax = logicalMax;
                cap.bitPosition = bit;
                cap.reportSize = static_cast<uint16_t>(size);
                cap.reportCount = static_cast<uint16_t>(take);
                cap.bitField = static_cast<uint16_t>(flags);
                caps.buttons.push_back(cap);
            } else {
                HidValueCap cap;
                cap.usagePage = u.page;
                cap.reportId = id;
                cap.isRange = u.isRange;
                cap.hasNull = nullState;
                cap.isAbsolute = !relative;
                cap.usageMin = u.min;
                cap.usageMax = usageMax;
                cap.logicalMin = logicalMin;
                cap.logicalMax = logicalMax;
                cap.physicalMin = physicalMin;
                cap.physicalMax = physicalMax;
                cap.units = m_global.unit;
                cap.unitExponent = m_global.unitExponent;
                cap.bitPosition = bit;
                cap.reportSize = static_cast<uint16_t>(size);
                cap.reportCount = static_cast<uint16_t>(take);
                cap.bitField = static_cast<uint16_t>(flags);
                caps.values.push_back(cap);
            }
            field += take;
        }
        return HidParseError::None;
    }

    static size_t CapCount(const HidCollectionInfo& c) {
        size_t n = 0;
        for (const HidReportCaps& r : c.reports)
            n += r.buttons.size() + r.values.size();
        return n;
    }

    const uint8_t* m_data;
    size_t m_size;
    GlobalState m_global;
    std::vector<GlobalState> m_stack;
    LocalState m_local;
    int m_depth = 0;
    bool m_usesIds = false;
    bool m_sawDataWithoutId = false;
    uint32_t m_totalFields = 0;
    // The collection that holds each report, per type and id; -1 while unused.
    std::array<std::array<int, 256>, kHidReportTypeCount> m_owner = MakeOwners();
    // The last collection whose id list took each id, so a collection lists an id once.
    std::array<int, 256> m_listedIn = MakeIndexes();
    std::array<std::array<uint32_t, 256>, kHidReportTypeCount> m_bits{};
    std::vector<HidCollectionInfo> m_collections;

    static std::array<int, 256> MakeIndexes() {
        std::array<int, 256> a;
        a.fill(-1);
        return a;
    }
    static std::array<std::array<int, 256>, kHidReportTypeCount> MakeOwners() {
        std::array<std::array<int, 256>, kHidReportTypeCount> a;
        a.fill(MakeIndexes());
        return a;
    }
};

} // namespace

const char* HidParseErrorText(HidParseError error) {
    switch (error) {
    case HidParseError::None:
        return "ok";
    case HidParseError::Empty:
        return "no top-level collection";
    case HidParseError::TooLong:
        return "descriptor too long";
    case HidParseError::Truncated:
        return "item runs past the end";
    case HidParseError::GlobalStackOverflow:
        return "push nested too deep";
    case HidParseError::GlobalStackUnderflow:
        return "pop without push";
    case HidParseError::UnbalancedPush:
        return "push without pop";
    case HidParseError::NestingTooDeep:
        return "collections nested too deep";
    case HidParseError::UnbalancedCollection:
        return "unbalanced collection";
    case HidParseError::UnbalancedDelimiter:
        return "unbalanced delimiter";
    case HidParseError::MainItemOutsideCollection:
        return "report field outside any collection";
    case HidParseError::BadReportId:
        return "bad report id";
    case HidParseError::MissingReportId:
        return "report without id among reports with ids";
    case HidParseError::ReportIdInTwoCollections:
        return "report id used by two collections for the same report type";
    case HidParseError::BadReportSize:
        return "field too wide";
    case HidParseError::ReportTooLong:
        return "report too long";
    case HidParseError::TooManyFields:
        return "too many fields";
    case HidParseError::TooManyUsages:
        return "too many usages";
    case HidParseError::TooManyCaps:
        return "too many capabilities";
    }
    return "unknown";
}

bool HidCollectionInfo::HasReportId(uint8_t id) const {
    return std::find(reportIds.begin(), reportIds.end(), id) != reportIds.end();
}

uint32_t HidCollectionInfo::MaxUsageListLength(HidReportType type, uint16_t page) const {
    uint32_t total = 0;
    for (const HidButtonCap& cap : Report(type).buttons) {
        if (page == 0 || cap.usagePage == page)
            total += cap.reportCount;
    }
    return total;
}

HidParseError ParseReportDescriptor(const uint8_t* data, size_t size, std::vector<HidCollectionInfo>& out) {
    out.clear();
    if (data == nullptr || size == 0)
        return HidParseError::Empty;
    if (size > kHidMaxDescriptorBytes)
        return HidParseError::TooLong;
    return Parser(data, size).Run(out);
}

} // namespace nk7x
