// What notebox shows, chosen from its command line.
#pragma once

#include <string>

namespace notebox {

// Shown when the command line does not hold exactly one message.
extern const char* const kDefaultMessage;
// The message is kept to the bytes the box was designed for.
constexpr std::size_t kMessageBytes = 79;

// The one argument (cut to kMessageBytes, never inside a character), or the
// default message for any other argument count.
std::string choose_message(int argc, const char* const* argv);

}  // namespace notebox
