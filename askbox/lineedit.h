// askbox's line editor: bytes and keys in, the answer and what to draw out.
// Free of curses so every key's effect is checked without a terminal.
#pragma once

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "keys.h"
#include "text.h"

namespace askbox {

// Keys as winkit reads them, whichever form the terminal sends.
using EditKey = winkit::KeyKind;

enum class Outcome {
  Continue,    // keep reading
  Refused,     // the line is full: the caller beeps
  Enter,       // the line is done
  Cancel,      // Esc alone
  Interrupt,   // a Ctrl-C byte the terminal did not turn into SIGINT
  EndOfInput,  // Ctrl-D on an empty line
};

struct EditSettings {
  int field_columns = 59;  // taken as at least 2, so a wide character fits
  std::size_t max_chars = 256;
  // The terminal's erase and kill bytes (c_cc[VERASE], c_cc[VKILL]); only
  // 1..127 count: 0 is the disabled value, a higher byte may begin a character.
  int erase = -1;
  int kill = -1;
  // A secret: every character shows as one '*' (one column, a wide one too).
  bool secret = false;
};

// Edits one line in the locale in force when it is made: the caller calls
// setlocale first and does not change it while the editor is in use.
// Printable characters are kept as typed (one character each, however many
// bytes or columns); bytes that make no printable character are dropped.
class LineEditor {
 public:
  explicit LineEditor(EditSettings s = {});

  Outcome byte(unsigned char b);  // one byte as typed, not part of an escape sequence
  // Any key: a Byte goes to byte(); keys a line has no use for change nothing.
  Outcome key(EditKey k, unsigned char b = 0);
  Outcome cancel() { pending_.drop(); return Outcome::Cancel; }
  // A starting text, taken as if typed, its control bytes dropped; the
  // cursor after it.
  void start_with(std::string_view text);
  // The field became narrower or wider (a resize): the view follows.
  void set_field_columns(int columns);

  std::string answer() const;  // in the locale's encoding
  // The answer into out without an allocation; the bytes written, at most
  // capacity (answer_capacity() always suffices).
  std::size_t copy_answer(char* out, std::size_t capacity) const;
  std::size_t answer_capacity() const { return settings_.max_chars * MB_LEN_MAX; }

  // Where the line's bytes live, all of it: reserved whole when the editor
  // is made, so the line never moves and leaves no copy behind.
  struct Storage {
    void* bytes;
    std::size_t size;
  };
  Storage storage() { return {chars_.data(), chars_.capacity() * sizeof(Char)}; }
  // Zeroes the storage and empties the line.
  void wipe();

  struct View {
    std::string text;  // bytes to draw from the field's first column, whole characters only
    int cursor_col;    // 0..field_columns-1
    int width;         // columns text takes, at most field_columns
  };
  View view() const;

  // In characters.
  std::size_t cursor() const { return cursor_; }
  std::size_t size() const { return chars_.size(); }
  std::size_t first_shown() const { return first_; }

 private:
  // Plain bytes, so the storage can be zeroed whole.
  struct Char {
    char bytes[MB_LEN_MAX];  // as typed
    unsigned char size;
    signed char width;       // 1 or 2; 1 for a secret's '*'
    bool unshown;            // drawn as '?': a byte a single-byte locale cannot show
    std::string_view text() const { return {bytes, size}; }
  };
  Char make_char(std::string_view bytes, int width, bool unshown) const;

  // The edits, each named by what it does to the line.
  void erase_before(), erase_to_start(), erase_to_end(), erase_word_before(), delete_under();
  void go_left(), go_right(), go_home(), go_end();

  Outcome text_byte(unsigned char b);
  Outcome insert(Char c);
  void move_to(std::size_t pos);
  void remove(std::size_t from, std::size_t to);
  void scroll();
  void pull_back();

  EditSettings settings_;
  bool multibyte_;
  std::vector<Char> chars_;
  winkit::CharReader pending_;  // the start of a multibyte character
  std::size_t cursor_ = 0;
  std::size_t first_ = 0;
};

}  // namespace askbox
