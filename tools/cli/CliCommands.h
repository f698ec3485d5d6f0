// The commands of nk7x-cli. Each prints its result (text, or JSON with --json) and returns the exit
// code; `args` are the words after the command name.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/CliSupport.h"

namespace nk7x::cli {

using Args = std::vector<std::string>;

Exit RunList(const Options& options);
Exit RunInfo(const Options& options);
Exit RunKeyTable(const Options& options);
Exit RunParams(const Options& options, const Args& args);
Exit RunWriteParams(const Options& options, const Args& args);
Exit RunRaw(const Options& options, const Args& args);
Exit RunDescriptor(const Options& options, const Args& args);

} // namespace nk7x::cli
