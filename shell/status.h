// The status line and the message-pumping waits, Windows side.
#pragma once

#include "../workflow/ui.h"

// A wait does not dispatch a quit request it meets (that would lose it while
// a command runs); it keeps it, and this posts it again once the command has
// ended. Does nothing when no quit request was met.
void RepostDeferredQuit();
