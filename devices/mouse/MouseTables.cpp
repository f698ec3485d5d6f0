#include "devices/mouse/MouseTables.h"

namespace nk7x {

const std::array<DefaultButtonEntry, kMouseButtonCount> DefaultButtonCodeTable = {{
    {{0x10, 0x01, 0x00}, "mouse_key_left"},
    {{0x10, 0x02, 0x00}, "mouse_key_right"},
    {{0x10, 0x04, 0x00}, "mouse_key_middle"},
    {{0x10, 0x10, 0x00}, "mouse_key_forward"},
    {{0x10, 0x08, 0x00}, "mouse_key_back"},
    {{0x13, 0x01, 0x00}, "mouse_key_DPI_add"},
    {{0x13, 0x02, 0x00}, "mouse_key_DPI_sub"},
    {{0x13, 0x03, 0x00}, "mouse_key_DPI_loop"},
    {{0xa0, 0x1b, 0x00}, "keyboard_key_GM"},
    {{0x16, 0x90, 0x01}, "mouse_key_M8_key"},
}};

} // namespace nk7x
