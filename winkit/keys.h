// Keys as the windows see them, and the escape sequences they come in.
#pragma once

#include <cstddef>
#include <string_view>

namespace winkit {

// Keys as the windows act on them. Cursor and editing keys arrive decoded
// whichever form the terminal sends; any other sequence is one Other key.
enum class KeyKind {
  Byte,  // a byte typed (a character may take several)
  Up, Down, Left, Right, Home, End, PageUp, PageDown, Delete,
  Escape,  // Esc alone
  Resize,  // the terminal changed size, or the program came back from a stop
  Other,   // a key no window uses, taken whole
  Closed,  // input has ended
};
struct Key {
  KeyKind kind = KeyKind::Other;
  unsigned char byte = 0;  // with KeyKind::Byte
};

// The longest sequence taken whole; anything longer is cut there.
constexpr std::size_t kLongestSequence = 32;

// Whether tail, the bytes that followed an ESC, is a whole escape sequence.
bool escape_complete(std::string_view tail);
// Whether a sequence was cut at kLongestSequence before its end: its rest,
// up to and with the byte that ends_cut_sequence, is no key of its own.
bool escape_cut(std::string_view tail);
bool ends_cut_sequence(unsigned char byte);
// The key of a whole sequence (ESC [ A, ESC O A, ESC [ 3 ~, ...); Other for
// the rest (function keys, Shift-Tab, Alt-x, mouse reports).
KeyKind escape_key(std::string_view tail);

}  // namespace winkit
