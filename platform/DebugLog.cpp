#include "platform/DebugLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace nk7x {
namespace {

struct SinkState {
    std::mutex mutex;
    DebugSink custom;
    bool toStderr = false;
    std::FILE* file = nullptr;
    std::atomic<bool> enabled{false};

    SinkState() {
        const char* flag = std::getenv("NK7X_DEBUG");
        toStderr = flag && *flag && std::string_view(flag) != "0";
        if (const char* path = std::getenv("NK7X_DEBUG_FILE"); path && *path)
            file = std::fopen(path, "a");
        Update();
    }
    ~SinkState() {
        if (file)
            std::fclose(file);
    }
    void Update() { enabled.store(custom || toStderr || file != nullptr, std::memory_order_relaxed); }
};

SinkState& State() {
    static SinkState state;
    return state;
}

} // namespace

bool DebugLogEnabled() {
    return State().enabled.load(std::memory_order_relaxed);
}

void DebugLog(std::string_view line) {
    SinkState& s = State();
    if (!s.enabled.load(std::memory_order_relaxed))
        return;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.custom) {
        s.custom(std::string(line));
        return;
    }
    if (s.toStderr) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    }
    if (s.file) {
        std::fwrite(line.data(), 1, line.size(), s.file);
        std::fputc('\n', s.file);
        std::fflush(s.file);
    }
}

void DebugLogf(const char* format, ...) {
    if (!DebugLogEnabled())
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, args);
        DebugLog(std::string_view(buf.data(), static_cast<size_t>(n)));
    }
    va_end(args);
}

void SetDebugSink(DebugSink sink) {
    SinkState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.custom = std::move(sink);
    s.Update();
}

void SetDebugToStderr(bool on) {
    SinkState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.toStderr = on;
    s.Update();
}

bool SetDebugFile(const std::string& path) {
    SinkState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.file) {
        std::fclose(s.file);
        s.file = nullptr;
    }
    if (!path.empty())
        s.file = std::fopen(path.c_str(), "a");
    s.Update();
    return path.empty() || s.file != nullptr;
}

} // namespace nk7x
