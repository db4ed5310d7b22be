#pragma once
// The on-screen error message as a string, empty while none is shown.
#include <string>

#include "engine/core/error_message.h"

inline std::string error_shown() { return has_error_message() ? std::string(error_message_text.data) : std::string(); }
