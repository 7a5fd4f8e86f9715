#pragma once

#include <wx/window.h>

namespace puzzle {

// Keeps every modal window of the program above its owner, with or without a window
// manager: a box or dialog opens over the topmost one still open, and when one closes the
// ones still open are raised again, in the order they were opened. (Some of the toolkit's
// own dialogs raise their owner when they open, which would bury a dialog under the game.)

// The window a new modal window belongs over: the topmost modal window still on screen,
// else owner.
wxWindow* ModalOwner(wxWindow* owner);

}  // namespace puzzle
