// What each emulated kind is unless told otherwise: its name, its ids (the shipped device's where the
// program ships one) and the product name it reports; and the options as a kind resolves them.
#pragma once

#include "tools/sim/SimDevice.h"

namespace nk7x {

// The options with the kind's defaults in place of the keyboard's, and what the kind lacks off.
SimOptions ResolveOptions(SimOptions o);

// The product string the device reports ("NK-7X Mouse", ...).
const char* SimProductName(SimKind kind);
// The product string of these options: their own, else the kind's.
const char* SimProductName(const SimOptions& options);

// A device of a kind the program describes (link/KindDescriptors.h), speaking the protocol of the
// emulated kind `protocol`: its ids, key count, name ("<script name>1"), product string, and a rows
// file naming its kind and family to the program.
SimOptions SimOptionsFor(const KindDescriptor& kind, SimKind protocol, const std::string& folder = {});

} // namespace nk7x
