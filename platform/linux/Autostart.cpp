#include "platform/Autostart.h"

#include "platform/Folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace nk7x {

namespace {

constexpr const char* kEntryName = "nk7x.desktop";

bool Fail(std::string* error, const std::string& message) {
    if (error)
        *error = message;
    return false;
}

std::string ErrnoText(int code) {
    return std::strerror(code);
}

// The general escapes of a desktop entry's string values.
std::string EscapeString(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

// One argument of an Exec line: quoted when it holds a character the line reserves, with '"', '`',
// '$' and '\' escaped inside the quotes, and '%' doubled so it is not read as a field code.
std::string ExecArgument(std::string_view arg) {
    static constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`";
    std::string plain;
    for (char c : arg) {
        if (c == '%')
            plain += "%%";
        else
            plain += c;
    }
    if (plain.find_first_of(kReserved) == std::string::npos)
        return plain;
    std::string quoted = "\"";
    for (char c : plain) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string EntryText(const std::string& execPath) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=NK-7X Configurator\n"
                       "Comment=Starts the NK-7X configurator in the system tray\n";
    text += "Exec=" + EscapeString(ExecArgument(execPath)) + " --hidden\n";
    // The desktop skips the entry once the program it names is gone.
    if (execPath.front() == '/')
        text += "TryExec=" + EscapeString(execPath) + "\n";
    text += "Icon=nk7x\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Writes `text` to `path` through a temporary file in the same folder renamed over it.
bool ReplaceFile(const fs::path& path, const std::string& text, std::string* error) {
    std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return Fail(error,
                    "cannot create a file in " + path.parent_path().string() + ": " + ErrnoText(errno));
    const char* step = nullptr;
    int code = 0;
    auto failed = [&](const char* what) {
        step = what;
        code = errno;
    };
    if (!WriteAll(fd, text))
        failed("cannot write");
    else if (::fchmod(fd, 0644) != 0)
        failed("cannot set the permissions of");
    else if (::fsync(fd) != 0)
        failed("cannot write");
    if (::close(fd) != 0 && !step)
        failed("cannot write");
    if (!step && ::rename(temp.c_str(), path.c_str()) != 0)
        failed("cannot replace");
    if (step) {
        ::unlink(temp.c_str());
        return Fail(error, std::string(step) + " " + path.string() + ": " + ErrnoText(code));
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string Trim(std::string_view s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    const size_t e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

} // namespace

std::string AutostartEntryPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = JoinPath(home, ".config");
    } else {
        return {};
    }
    return JoinPath(JoinPath(base, "autostart"), kEntryName);
}

bool AutostartEnabled() {
    const std::string path = AutostartEntryPath();
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path);
    if (!in)
        return false;
    bool inEntry = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (!t.empty() && t.front() == '[') {
            inEntry = t == "[Desktop Entry]";
            continue;
        }
        const size_t eq = t.find('=');
        if (!inEntry || eq == std::string::npos)
            continue;
        const std::string key = Trim(std::string_view(t).substr(0, eq));
        const std::string value = Trim(std::string_view(t).substr(eq + 1));
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

bool SetAutostart(bool on, const std::string& execPath, std::string* error) {
    const std::string entry = AutostartEntryPath();
    if (entry.empty())
        return Fail(error, "neither XDG_CONFIG_HOME nor HOME names a folder");
    if (!on) {
        if (::unlink(entry.c_str()) == 0 || errno == ENOENT)
            return true;
        return Fail(error, "cannot remove " + entry + ": " + ErrnoText(errno));
    }
    // An absolute path, or a name the desktop looks up in PATH; no line breaks or other control
    // characters, which would end the Exec line.
    if (execPath.empty())
        return Fail(error, "no program to start");
    if (execPath.front() != '/' && execPath.find('/') != std::string::npos)
        return Fail(error, "the program's path is relative: " + execPath);
    for (unsigned char c : execPath) {
        if (c < 0x20 || c == 0x7F)
            return Fail(error, "the program's path holds a control character");
    }
    const fs::path path(entry);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!fs::is_directory(path.parent_path(), ec))
        return Fail(error, "cannot create the folder " + path.parent_path().string() +
                               (ec ? ": " + ec.message() : std::string()));
    return ReplaceFile(path, EntryText(execPath), error);
}

} // namespace nk7x
