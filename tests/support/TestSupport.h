// Pieces every test program may use: a private emulator folder and a capture of the debug output.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace nk7x::test {

// A fresh folder named by NK7X_SIM_DIR for the life of the object; removed with what is left in it.
class TempSimFolder {
  public:
    TempSimFolder();
    ~TempSimFolder();
    TempSimFolder(const TempSimFolder&) = delete;
    TempSimFolder& operator=(const TempSimFolder&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

// A private folder for a test against the emulator: "sim" (named by NK7X_SIM_DIR) and "data" (the
// user data root, XDG_DATA_HOME), with the program folder at the source tree. All undone on destruction.
class DeviceTestRoot {
  public:
    explicit DeviceTestRoot(const std::string& tag);
    ~DeviceTestRoot();
    DeviceTestRoot(const DeviceTestRoot&) = delete;
    DeviceTestRoot& operator=(const DeviceTestRoot&) = delete;
    const std::filesystem::path& Path() const { return m_root; }
    std::string SimFolder() const { return (m_root / "sim").string(); }

  private:
    std::filesystem::path m_root;
};

// An environment variable of this process (and of what it starts) for the object's life; what it
// was comes back after.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Collects every debug line written while it lives (from any thread).
class DebugCapture {
  public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::vector<std::string> Lines() const;
    int Count(const std::string& line) const;
    bool Has(const std::string& line) const { return Count(line) > 0; }
    void Clear();

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

} // namespace nk7x::test
