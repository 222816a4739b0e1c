// Texts as they may be drawn in the window. Curses expands a tab, breaks the
// line at a newline and spells out other control characters and undecodable
// bytes in several columns, all of which would run past the row or the frame.
#pragma once

#include <string>
#include <string_view>

namespace pickbox {

// s with every byte that does not decode in the current locale, and every
// character that is not printable, shown as '?'; a zero-width character
// with nothing before it to join is shown as '?' too.
std::string shown_text(std::string_view s);

}  // namespace pickbox
