// Arbitrary bytes as the macro index and as a macro file, through every operation that reads
// them: nothing may crash, and nothing may be written outside the macro folder.
#include "macros/MacroEvent.h"
#include "macros/MacroNames.h"
#include "macros/MacroStore.h"
#include "profiles/json/JsonFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

struct Folders {
    fs::path root;
    fs::path macros;
    Folders() {
        // Memory-backed when the system has it: every run writes several files.
        std::string pattern = fs::is_directory("/dev/shm") ? "/dev/shm/nk7x-fuzz-macros-XXXXXX"
                                                           : "/tmp/nk7x-fuzz-macros-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        if (!made)
            std::abort();
        root = made;
        macros = root / "keyboard";
        fs::create_directories(macros);
        SetJsonWriteSync(false);
    }
    ~Folders() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

void Put(const fs::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Folders folders;
    MacroStore store(folders.macros.string());
    const std::string text(reinterpret_cast<const char*>(data), size);

    // As a macro file named by an identifier the index could hold.
    const std::string guid = "2024_01_01_00_00_00_000";
    Put(store.MacroPath(guid), data, size);
    for (const MacroEvent& e : store.LoadEvents(guid)) {
        if (!IsKnownEventType(e.type))
            __builtin_trap();
        (void)EventKeyName(e);
        (void)EventActionText(e);
        if (MacroEventFromText(MacroEventToText(e)) != e)
            __builtin_trap();
    }

    // As the index, then through the operations that read and rewrite it.
    Put(store.IndexPath(), data, size);
    const std::vector<MacroInfo> list = store.LoadIndex();
    for (const MacroInfo& info : list) {
        if (!info.guid.empty() && !IsValidMacroIdentifier(info.guid))
            __builtin_trap();
        (void)store.LoadEvents(info.guid);
    }
    (void)store.LoadAll();
    MacroInfo created;
    const MacroResult made = store.Create(created);
    if (made == MacroResult::Ok && store.LoadIndex().size() != list.size() + 1)
        __builtin_trap();
    if (made == MacroResult::ListFull && list.size() < kMaxMacros)
        __builtin_trap();
    if (!list.empty()) {
        (void)store.Rename(static_cast<int>(size % list.size()), text.substr(0, 40));
        (void)store.Delete(static_cast<int>(size % list.size()));
    }
    (void)store.Save(MacroInfo{"x", text.substr(0, 64)}, {});

    // The same bytes as a typed name and as typed numbers.
    (void)SameNameIgnoringCase(text, "macro_1");
    (void)IsBlankName(text);
    (void)ParseDelayText(text);
    (void)ParseMoveDistance(text);
    (void)MacroEventFromText(text);

    // Nothing outside the macro folder, and only index, macro and leftover temporary files inside.
    for (const auto& entry : fs::directory_iterator(folders.root))
        if (entry.path() != folders.macros)
            __builtin_trap();
    for (const auto& entry : fs::directory_iterator(folders.macros)) {
        const std::string name = entry.path().filename().string();
        if (name != "macro.config" && !name.ends_with(".mac"))
            __builtin_trap();
        fs::remove(entry.path());
    }
    return 0;
}
