// Makes the headset's sound panels and their equaliser chart known to the control factory under
// their layout class names, so that the skin's layouts can build them.
#pragma once

namespace nk7x {

class ControlFactory;

void RegisterSoundPanels(ControlFactory& factory);

} // namespace nk7x
