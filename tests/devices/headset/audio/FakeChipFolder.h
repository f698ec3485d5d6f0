// A private program folder whose SDK folder holds the stand-in chip library, the library's settings
// in the environment, and the calls it logged. Everything is undone when the object goes.
#pragma once

#include <string>
#include <vector>

namespace nk7x::test {

class FakeChipFolder {
  public:
    // `library`: the built stand-in to copy in (a fresh copy is a fresh chip); empty: none.
    explicit FakeChipFolder(const std::string& library);
    ~FakeChipFolder();
    FakeChipFolder(const FakeChipFolder&) = delete;
    FakeChipFolder& operator=(const FakeChipFolder&) = delete;

    const std::string& Folder() const { return m_folder; }
    // <folder>/SDK/libnk7x-audiochip.so
    std::string LibraryPath() const;

    // NK7X_TEST_CHIP_<name>: INIT, OUTPUTS, INPUTS, STATE, REFUSE, FLOOD (read at the first call).
    void Configure(const std::string& name, const std::string& value);

    // Every call the library received, one line each ("get in1 MuteControl p=none").
    std::vector<std::string> Calls() const;
    // Whether the library was ever called (it writes its log only then).
    bool AnythingCalled() const;
    // The calls from line `from` on; with Mark() to look at what one operation did.
    std::vector<std::string> CallsFrom(size_t from) const;
    size_t Mark() const { return Calls().size(); }

  private:
    std::string m_folder;
};

} // namespace nk7x::test
