// Pieces every test program may use: a private emulator folder and a capture of the debug output.
#pragma once

#include <mutex>
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
