#include "tools/sim/SimFault.h"

#include <charconv>
#include <cstdio>

namespace nk7x {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Decimal or 0x-prefixed hexadecimal, within [0, max].
bool ParseNumber(std::string_view s, long max, int& out) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    if (s.empty())
        return false;
    long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || v < 0 || v > max)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseOne(std::string_view item, SimFault& f, std::string& error) {
    std::string_view kind = item;
    std::string_view value, command, skip, count;
    // Split off ":count", "+skip", "@command", then "=value"; each part may appear once, in this order.
    if (const size_t c = kind.find(':'); c != std::string_view::npos) {
        count = kind.substr(c + 1);
        kind = kind.substr(0, c);
    }
    if (const size_t s = kind.find('+'); s != std::string_view::npos) {
        skip = kind.substr(s + 1);
        kind = kind.substr(0, s);
    }
    if (const size_t a = kind.find('@'); a != std::string_view::npos) {
        command = kind.substr(a + 1);
        kind = kind.substr(0, a);
    }
    if (const size_t e = kind.find('='); e != std::string_view::npos) {
        value = kind.substr(e + 1);
        kind = kind.substr(0, e);
    }
    const bool hasValue = item.find('=') != std::string_view::npos;

    if (kind == "stale")
        f.kind = SimFaultKind::StaleReply;
    else if (kind == "noreply")
        f.kind = SimFaultKind::NoReply;
    else if (kind == "slow")
        f.kind = SimFaultKind::SlowReply;
    else if (kind == "status")
        f.kind = SimFaultKind::Status;
    else if (kind == "unplug")
        f.kind = SimFaultKind::Unplug;
    else if (kind == "sleep")
        f.kind = SimFaultKind::Sleep;
    else {
        error = "unknown fault kind '" + std::string(kind) +
                "' (stale, noreply, slow=MS, status=0xFF|0xFE, unplug, sleep)";
        return false;
    }

    const bool needsValue = f.kind == SimFaultKind::SlowReply || f.kind == SimFaultKind::Status;
    if (needsValue && !hasValue) {
        error = "fault '" + std::string(kind) + "' needs a value (" +
                (f.kind == SimFaultKind::SlowReply ? "slow=MS" : "status=0xFF") + ")";
        return false;
    }
    if (!needsValue && hasValue) {
        error = "fault '" + std::string(kind) + "' takes no value";
        return false;
    }
    if (f.kind == SimFaultKind::SlowReply && !ParseNumber(value, 60000, f.value)) {
        error = "slow reply delay must be 0..60000 ms, not '" + std::string(value) + "'";
        return false;
    }
    if (f.kind == SimFaultKind::Status && !ParseNumber(value, 0xFF, f.value)) {
        error = "status must be a byte, not '" + std::string(value) + "'";
        return false;
    }
    if (item.find('@') != std::string_view::npos && !ParseNumber(command, 0xFF, f.command)) {
        error = "command code must be a byte, not '" + std::string(command) + "'";
        return false;
    }
    if (item.find('+') != std::string_view::npos && !ParseNumber(skip, 1000000, f.skip)) {
        error = "frames to let pass must be a count, not '" + std::string(skip) + "'";
        return false;
    }
    if (item.find(':') != std::string_view::npos) {
        if (count == "once")
            f.count = 1;
        else if (count == "always")
            f.count = 0;
        else if (!ParseNumber(count, 1000000, f.count) || f.count == 0) {
            error =
                "fault repeat must be once, always or a count of 1 or more, not '" + std::string(count) + "'";
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseSimFaults(std::string_view faultList, std::vector<SimFault>& out, std::string* error) {
    std::vector<SimFault> parsed;
    std::string message;
    faultList = Trim(faultList);
    if (faultList.empty()) {
        if (error)
            *error = "empty fault list";
        return false;
    }
    while (!faultList.empty()) {
        const size_t comma = faultList.find(',');
        const std::string_view item = Trim(faultList.substr(0, comma));
        faultList = comma == std::string_view::npos ? std::string_view() : faultList.substr(comma + 1);
        SimFault f;
        if (item.empty() || !ParseOne(item, f, message)) {
            if (error)
                *error = item.empty() ? std::string("empty item in fault list") : message;
            return false;
        }
        parsed.push_back(f);
    }
    out.insert(out.end(), parsed.begin(), parsed.end());
    return true;
}

std::string FormatSimFault(const SimFault& f) {
    std::string s;
    char buf[16];
    switch (f.kind) {
    case SimFaultKind::StaleReply:
        s = "stale";
        break;
    case SimFaultKind::NoReply:
        s = "noreply";
        break;
    case SimFaultKind::SlowReply:
        s = "slow=" + std::to_string(f.value);
        break;
    case SimFaultKind::Status:
        std::snprintf(buf, sizeof buf, "status=0x%02X", f.value & 0xFF);
        s = buf;
        break;
    case SimFaultKind::Unplug:
        s = "unplug";
        break;
    case SimFaultKind::Sleep:
        s = "sleep";
        break;
    }
    if (f.command >= 0) {
        std::snprintf(buf, sizeof buf, "@0x%02X", f.command & 0xFF);
        s += buf;
    }
    if (f.skip > 0)
        s += "+" + std::to_string(f.skip);
    if (f.count == 0)
        s += ":always";
    else if (f.count == 1)
        s += ":once";
    else
        s += ":" + std::to_string(f.count);
    return s;
}

} // namespace nk7x
