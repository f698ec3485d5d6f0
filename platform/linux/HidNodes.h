// The two kinds of node the Linux HID backend opens; OpenHidNode picks one by the path's kind.
#pragma once

#include <memory>
#include <string>

#include "platform/HidBackend.h"

namespace nk7x {

std::shared_ptr<IHidConnection> OpenHidrawNode(const std::string& node, bool read, bool write, int* error);
std::shared_ptr<IHidConnection> OpenEmulatedNode(const std::string& socketPath, bool read, bool write,
                                                 int* error);

} // namespace nk7x
