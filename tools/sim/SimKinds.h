// What each emulated kind is unless told otherwise: its name, its ids (the shipped device's where the
// program ships one) and the product name it reports; and the options as a kind resolves them.
#pragma once

#include "tools/sim/SimDevice.h"

namespace nk7x {

// The options with the kind's defaults in place of the keyboard's, and what the kind lacks off.
SimOptions ResolveOptions(SimOptions o);

// The product string the device reports ("NK-7X Mouse", ...).
const char* SimProductName(SimKind kind);

} // namespace nk7x
