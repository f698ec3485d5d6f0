// The emulator's files and sockets: names it accepts, the listening socket of a device or its
// control, whether a device already answers on a path, and files written whole.
#pragma once

#include <cstddef>
#include <string>

struct sockaddr_un;

namespace nk7x {

std::string ErrnoText();
// A device name: 1..64 of letters, digits, '-', '_' and '.', not starting with '.'.
bool ValidName(const std::string& name);
// False when the path does not fit a socket address.
bool FillAddress(const std::string& path, sockaddr_un& addr);
// True when something answers on the socket path (a device of that name is plugged in already).
bool SocketAnswers(const std::string& path);
// A non-blocking listening packet socket on `path`, or -1 with `error` set.
int MakeListener(const std::string& path, std::string& error);
// Written under a temporary name and renamed, so a reader never sees half a file.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error);

} // namespace nk7x
