// A client of the user's session bus, for the command-line tool's calls to the running program:
// whether a service has an owner, and a method call with string arguments and an optional
// dictionary, its answer read as strings or as a dictionary of strings and integers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace nk7x {

using BusValue = std::variant<std::string, int32_t>;
// A dictionary of strings, sent as a{ss}.
using BusStringMap = std::map<std::string, std::string>;
// A method argument: a string, a 32-bit integer, a boolean or a dictionary of strings.
using BusArg = std::variant<std::string, int32_t, bool, BusStringMap>;
using BusDict = std::map<std::string, BusValue>;

struct BusCallResult {
    bool ok = false;
    std::string errorName; // the bus error's name when the call failed
    std::string errorMessage;
    std::vector<std::string> strings; // an answer of one string or an array of strings
    BusDict dict;                     // an answer of a{sv} (values other than strings and int32 left
                                      // out) or of a{ss}
    std::vector<int32_t> ints;        // an answer of one integer, or one array of integers first
    std::vector<bool> bools;          // an array of booleans after it
};

class SessionBusClient {
  public:
    SessionBusClient();
    ~SessionBusClient();
    SessionBusClient(const SessionBusClient&) = delete;
    SessionBusClient& operator=(const SessionBusClient&) = delete;

    // False, with the reason, when there is no session bus to reach.
    bool Open(std::string* error);
    // Whether a program owns `service` now (false when the bus is not open).
    bool HasOwner(const std::string& service);
    // Calls `method` with `args`, then `dict` as a{sv} when given; waits up to 15 s. Answers of the
    // signatures s, as, i, ai, aiab, a{sv} and a{ss} are read; others count as no answer.
    BusCallResult Call(const std::string& service, const std::string& path, const std::string& interface,
                       const std::string& method, const std::vector<BusArg>& args,
                       const BusDict* dict = nullptr);

  private:
    struct Bus;
    std::unique_ptr<Bus> m_bus;
};

} // namespace nk7x
