// How an error message is shown to the user, by the window's error box and by tilora-tool alike.
#pragma once

#include <string>

// The message with a full stop appended when its last character's code is above that of the full stop. The
// text is UTF-8: a message ending in a character beyond ASCII ends in a byte above the full stop as well.
std::string ShownErrorMessage(std::string Message);
