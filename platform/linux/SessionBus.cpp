#include "platform/SessionBus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>

namespace nk7x {

struct SessionBusClient::Bus {
    sd_bus* bus = nullptr;
    ~Bus() {
        if (bus)
            sd_bus_flush_close_unref(bus);
    }
};

namespace {

constexpr uint64_t kCallTimeoutUs = 15ULL * 1000 * 1000;

// The message's dictionary of a{sv}; strings and 32-bit integers are taken, other values skipped.
int ReadDict(sd_bus_message* reply, BusDict& out) {
    int r = sd_bus_message_enter_container(reply, 'a', "{sv}");
    if (r < 0)
        return r;
    while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(reply, "s", &key)) < 0)
            return r;
        char type = 0;
        const char* contents = nullptr;
        if ((r = sd_bus_message_peek_type(reply, &type, &contents)) < 0)
            return r;
        if (contents && std::strcmp(contents, "s") == 0) {
            const char* value = nullptr;
            if ((r = sd_bus_message_read(reply, "v", "s", &value)) < 0)
                return r;
            out[key] = std::string(value ? value : "");
        } else if (contents && std::strcmp(contents, "i") == 0) {
            int32_t value = 0;
            if ((r = sd_bus_message_read(reply, "v", "i", &value)) < 0)
                return r;
            out[key] = value;
        } else if ((r = sd_bus_message_skip(reply, "v")) < 0) {
            return r;
        }
        if ((r = sd_bus_message_exit_container(reply)) < 0)
            return r;
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(reply);
}

// The message's dictionary of a{ss}, its values as strings.
int ReadStringDict(sd_bus_message* reply, BusDict& out) {
    int r = sd_bus_message_enter_container(reply, 'a', "{ss}");
    if (r < 0)
        return r;
    const char* key = nullptr;
    const char* value = nullptr;
    while ((r = sd_bus_message_read(reply, "{ss}", &key, &value)) > 0)
        out[key ? key : ""] = std::string(value ? value : "");
    return r < 0 ? r : sd_bus_message_exit_container(reply);
}

int AppendDict(sd_bus_message* m, const BusDict& dict) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    for (auto it = dict.begin(); r >= 0 && it != dict.end(); ++it) {
        if (const auto* text = std::get_if<std::string>(&it->second))
            r = sd_bus_message_append(m, "{sv}", it->first.c_str(), "s", text->c_str());
        else
            r = sd_bus_message_append(m, "{sv}", it->first.c_str(), "i", std::get<int32_t>(it->second));
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
}

int AppendStringMap(sd_bus_message* m, const BusStringMap& map) {
    int r = sd_bus_message_open_container(m, 'a', "{ss}");
    for (auto it = map.begin(); r >= 0 && it != map.end(); ++it)
        r = sd_bus_message_append(m, "{ss}", it->first.c_str(), it->second.c_str());
    return r < 0 ? r : sd_bus_message_close_container(m);
}

} // namespace

SessionBusClient::SessionBusClient() = default;
SessionBusClient::~SessionBusClient() = default;

bool SessionBusClient::Open(std::string* error) {
    auto bus = std::make_unique<Bus>();
    const int r = sd_bus_open_user(&bus->bus);
    if (r < 0) {
        if (error)
            *error = std::string("no session bus: ") + std::strerror(-r);
        return false;
    }
    m_bus = std::move(bus);
    return true;
}

bool SessionBusClient::HasOwner(const std::string& service) {
    if (!m_bus)
        return false;
    sd_bus_error err = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    const int r =
        sd_bus_call_method(m_bus->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", &err, &reply, "s", service.c_str());
    if (r >= 0 && sd_bus_message_read(reply, "b", &owned) < 0)
        owned = 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&err);
    return r >= 0 && owned != 0;
}

BusCallResult SessionBusClient::Call(const std::string& service, const std::string& path,
                                     const std::string& interface, const std::string& method,
                                     const std::vector<BusArg>& args, const BusDict* dict) {
    BusCallResult result;
    if (!m_bus) {
        result.errorMessage = "the session bus is not open";
        return result;
    }
    sd_bus_message* m = nullptr;
    int r = sd_bus_message_new_method_call(m_bus->bus, &m, service.c_str(), path.c_str(), interface.c_str(),
                                           method.c_str());
    for (size_t i = 0; r >= 0 && i < args.size(); ++i) {
        if (const auto* text = std::get_if<std::string>(&args[i]))
            r = sd_bus_message_append(m, "s", text->c_str());
        else if (const auto* number = std::get_if<int32_t>(&args[i]))
            r = sd_bus_message_append(m, "i", *number);
        else if (const auto* flag = std::get_if<bool>(&args[i]))
            r = sd_bus_message_append(m, "b", *flag ? 1 : 0);
        else
            r = AppendStringMap(m, std::get<BusStringMap>(args[i]));
    }
    if (r >= 0 && dict)
        r = AppendDict(m, *dict);
    sd_bus_error err = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (r >= 0)
        r = sd_bus_call(m_bus->bus, m, kCallTimeoutUs, &err, &reply);
    if (r < 0) {
        result.errorName = err.name ? err.name : "";
        result.errorMessage = err.message ? err.message : std::strerror(-r);
    } else {
        const char* signature = sd_bus_message_get_signature(reply, 1);
        const std::string sig = signature ? signature : "";
        int read = 0;
        if (sig == "as") {
            char** strv = nullptr;
            read = sd_bus_message_read_strv(reply, &strv);
            for (char** s = strv; read >= 0 && s && *s; ++s)
                result.strings.emplace_back(*s);
            for (char** s = strv; s && *s; ++s)
                free(*s);
            free(strv);
        } else if (sig == "s") {
            const char* text = nullptr;
            read = sd_bus_message_read(reply, "s", &text);
            if (read >= 0)
                result.strings.emplace_back(text ? text : "");
        } else if (sig == "a{sv}") {
            read = ReadDict(reply, result.dict);
        } else if (sig == "a{ss}") {
            read = ReadStringDict(reply, result.dict);
        } else if (sig == "i") {
            int32_t value = 0;
            read = sd_bus_message_read(reply, "i", &value);
            result.ints.push_back(value);
        } else if (sig == "ai" || sig == "aiab") {
            const void* data = nullptr;
            size_t size = 0;
            read = sd_bus_message_read_array(reply, 'i', &data, &size);
            const auto* values = static_cast<const int32_t*>(data);
            for (size_t i = 0; read >= 0 && i < size / sizeof(int32_t); ++i)
                result.ints.push_back(values[i]);
            if (read >= 0 && sig == "aiab") {
                read = sd_bus_message_read_array(reply, 'b', &data, &size);
                const auto* flags = static_cast<const int32_t*>(data); // a D-Bus boolean is 32 bits
                for (size_t i = 0; read >= 0 && i < size / sizeof(int32_t); ++i)
                    result.bools.push_back(flags[i] != 0);
            }
        } else if (!sig.empty()) {
            read = -EBADMSG;
        }
        result.ok = read >= 0;
        if (!result.ok)
            result.errorMessage = std::string("the answer could not be read: ") + std::strerror(-read);
    }
    sd_bus_message_unref(reply);
    sd_bus_message_unref(m);
    sd_bus_error_free(&err);
    return result;
}

} // namespace nk7x
