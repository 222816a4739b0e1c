// The escape sequences keys arrive in, told apart without a terminal.
#include "keys.h"

namespace winkit {

namespace {

bool csi_final(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

// Whether the sequence has come to its own end, whatever its length.
bool sequence_ended(std::string_view tail) {
  if (tail.empty()) return false;
  const char kind = tail[0];
  // Alt with a key whose own sequence starts with ESC: the whole of that
  // sequence belongs to it.
  if (kind == '\x1b') return sequence_ended(tail.substr(1));
  if (kind == 'O') return tail.size() >= 2;
  if (kind != '[') return true;  // Alt and a key
  // A mouse report in the old form carries three raw bytes after "[M".
  if (tail.size() >= 2 && tail[1] == 'M') return tail.size() >= 5;
  for (std::size_t i = 1; i < tail.size(); ++i)
    if (csi_final(static_cast<unsigned char>(tail[i]))) return true;
  return false;
}

}  // namespace

bool escape_complete(std::string_view tail) { return tail.size() >= kLongestSequence || sequence_ended(tail); }

bool escape_cut(std::string_view tail) { return tail.size() >= kLongestSequence && !sequence_ended(tail); }

bool ends_cut_sequence(unsigned char byte) { return csi_final(byte); }

KeyKind escape_key(std::string_view tail) {
  if (tail.size() == 2 && (tail[0] == '[' || tail[0] == 'O')) {
    switch (tail[1]) {
      case 'A': return KeyKind::Up;
      case 'B': return KeyKind::Down;
      case 'C': return KeyKind::Right;
      case 'D': return KeyKind::Left;
      case 'H': return KeyKind::Home;
      case 'F': return KeyKind::End;
      default: return KeyKind::Other;
    }
  }
  if (tail == "[1~" || tail == "[7~") return KeyKind::Home;
  if (tail == "[4~" || tail == "[8~") return KeyKind::End;
  if (tail == "[3~") return KeyKind::Delete;
  if (tail == "[5~") return KeyKind::PageUp;
  if (tail == "[6~") return KeyKind::PageDown;
  return KeyKind::Other;
}

}  // namespace winkit
