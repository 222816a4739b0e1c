#include <curses.h>

#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "window.h"

namespace winkit {

namespace {

// Milliseconds within which the rest of an escape sequence arrives: a
// terminal sends it in one piece, a person cannot type that fast.
constexpr int kSequenceMs = 50;
// A SIGWINCH that comes after the last look at the resize flag and before
// the read blocks would wait for the next key: the reads time out this often
// to look again.
constexpr int kResizeCheckMs = 100;
// Reads that fail (not time out) within one read_key before the input
// counts as ended.
constexpr int kFailedReads = 3;
// The longest sequence taken whole; anything longer is cut there.
constexpr std::size_t kLongestSequence = 32;

bool csi_final(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

KeyKind from_curses(int code) {
  switch (code) {
    case KEY_UP: return KeyKind::Up;
    case KEY_DOWN: return KeyKind::Down;
    case KEY_LEFT: return KeyKind::Left;
    case KEY_RIGHT: return KeyKind::Right;
    case KEY_HOME: return KeyKind::Home;
    case KEY_END: return KeyKind::End;
    // Where the keypad's Home and End are named Find and Select.
    case KEY_FIND: return KeyKind::Home;
    case KEY_SELECT: return KeyKind::End;
    case KEY_PPAGE: return KeyKind::PageUp;
    case KEY_NPAGE: return KeyKind::PageDown;
    case KEY_DC: return KeyKind::Delete;
    case KEY_RESIZE: return KeyKind::Resize;  // resizes are the session's, but should curses report one
    default: return KeyKind::Other;
  }
}

void take_mouse_report(WINDOW* win);

// Reads the bytes of a sequence that follow an ESC, or the rest of a mouse
// report, until `complete` says it is whole or the terminal stops sending.
// A key curses decodes at once after the ESC is that key with Alt held:
// taken with it, and `alt_key` says so; one that comes later is a key of its
// own, left for the next read.
template <typename Complete>
std::string read_sequence(WINDOW* win, Complete complete, bool* alt_key = nullptr) {
  std::string tail;
  wtimeout(win, kSequenceMs);
  while (!complete(tail)) {
    const int next = wgetch(win);
    if (next == ERR) break;
    if (next >= KEY_MIN) {
      if (tail.empty() && alt_key != nullptr) {
        *alt_key = true;
        if (next == KEY_MOUSE) take_mouse_report(win);
      } else {
        ungetch(next);
      }
      break;
    }
    tail.push_back(static_cast<char>(next));
  }
  wtimeout(win, kResizeCheckMs);
  return tail;
}

// Curses names a mouse report by its opening bytes and leaves the rest
// unread: three raw bytes in the old form, parameters up to 'M' or 'm' in
// the form whose opening ends in '<'.
void take_mouse_report(WINDOW* win) {
  const char* opening = tigetstr("kmous");
  const bool sgr = usable(opening) &&
                   opening[std::strlen(opening) - 1] == '<';
  read_sequence(win, [sgr](const std::string& tail) {
    if (!sgr) return tail.size() >= 3 || tail.size() >= kLongestSequence;
    return (!tail.empty() && (tail.back() == 'M' || tail.back() == 'm')) || tail.size() >= kLongestSequence;
  });
}

}  // namespace

bool escape_complete(std::string_view tail) {
  if (tail.empty()) return false;
  if (tail.size() >= kLongestSequence) return true;
  const char kind = tail[0];
  if (kind == 'O') return tail.size() >= 2;
  if (kind != '[') return true;  // Alt and a key
  // A mouse report in the old form carries three raw bytes after "[M".
  if (tail.size() >= 2 && tail[1] == 'M') return tail.size() >= 5;
  for (std::size_t i = 1; i < tail.size(); ++i)
    if (csi_final(static_cast<unsigned char>(tail[i]))) return true;
  return false;
}

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

namespace {

// After a read gave nothing: whether the input has ended (or fails), rather
// than the read having timed out.
bool input_ended() {
  pollfd in{key_fd(), POLLIN, 0};
  return ::poll(&in, 1, 0) > 0;
}

}  // namespace

Key read_key(WINDOW* win) {
  if (!is_keypad(win)) keypad(win, TRUE);  // curses sends the terminal its keypad string each time
  wtimeout(win, kResizeCheckMs);
  int failed = 0;
  for (;;) {
    if (take_resize()) return {KeyKind::Resize};
    const int code = wgetch(win);
    if (code == ERR) {
      if (take_resize()) return {KeyKind::Resize};
      if (!input_ended()) continue;
      if (++failed < kFailedReads) continue;
      return {KeyKind::Closed};
    }
    if (code == KEY_MOUSE) {
      take_mouse_report(win);
      return {KeyKind::Other};
    }
    if (code >= KEY_MIN) {
      if (code == KEY_BACKSPACE) return {KeyKind::Byte, 0x7F};
      if (code == KEY_ENTER) return {KeyKind::Byte, '\r'};
      return {from_curses(code)};
    }
    if (code != 27) return {KeyKind::Byte, static_cast<unsigned char>(code)};

    // Curses hands back ESC when what follows is no key it knows (or nothing
    // follows): take the rest of such a sequence here, whole.
    bool alt_key = false;
    const std::string tail = read_sequence(win, [](const std::string& t) { return escape_complete(t); }, &alt_key);
    if (alt_key) return {KeyKind::Other};
    if (tail.empty()) return {KeyKind::Escape};
    return {escape_complete(tail) ? escape_key(tail) : KeyKind::Other};
  }
}

}  // namespace winkit
