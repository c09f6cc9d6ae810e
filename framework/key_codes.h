// The key codes the input module's operations take (vl_input_KeyDown and the
// rest): names for the keys, mouse buttons, joystick buttons and touches of
// the input device's key table.
//
// The numbering belongs to the input device, which fills its table in it and
// sits below the framework; the game reaches it here, as it reaches every
// device through the framework. Depends on host/key_codes.h only.
#pragma once

#include "host/key_codes.h"
