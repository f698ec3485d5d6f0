#include "platform/Folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#ifndef NK7X_INSTALL_DATADIR
#define NK7X_INSTALL_DATADIR "/usr/local/share/nk7x"
#endif

namespace fs = std::filesystem;

namespace nk7x {

std::string ExecutableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return ".";
    return exe.parent_path().string();
}

std::string ProgramFolder() {
    if (const char* over = std::getenv("NK7X_PROGRAM_DIR"); over && *over)
        return over;
    std::string exeDir = ExecutableFolder();
    std::error_code ec;
    if (fs::is_directory(fs::path(exeDir) / "DefaultData", ec))
        return exeDir;
    // An installed tree is found relative to the program, so a package built for one prefix and
    // a tree unpacked under another (DESTDIR, /opt) both find their own data.
    const fs::path beside = fs::path(exeDir).parent_path() / "share" / "nk7x";
    if (fs::is_directory(beside / "DefaultData", ec))
        return beside.string();
    return NK7X_INSTALL_DATADIR;
}

std::string DefaultDataFolder() {
    return JoinPath(ProgramFolder(), "DefaultData");
}

std::string UserDataRoot() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = JoinPath(home && *home ? home : "/tmp", ".local/share");
    }
    std::string root = JoinPath(base, kProductName);
    EnsureFolder(root);
    return root;
}

bool EnsureFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    bool aSep = a.back() == '/';
    bool bSep = b.front() == '/';
    if (aSep && bSep)
        return a + b.substr(1);
    if (aSep || bSep)
        return a + b;
    return a + "/" + b;
}

} // namespace nk7x
