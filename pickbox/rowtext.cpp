#include "rowtext.h"

#include <cwchar>
#include <cwctype>

namespace pickbox {

std::string shown_text(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::mbstate_t st{};
  size_t i = 0;
  while (i < s.size()) {
    wchar_t wc = 0;
    size_t len = std::mbrtowc(&wc, s.data() + i, s.size() - i, &st);
    if (len == 0) len = 1;  // an embedded NUL cannot reach us through argv, but stay safe
    bool bad = len == static_cast<size_t>(-1) || len == static_cast<size_t>(-2);
    int w = bad ? -1 : wcwidth(wc);
    if (bad || !std::iswprint(static_cast<wint_t>(wc)) || w < 0 || (w == 0 && out.empty())) {
      out += '?';
      st = std::mbstate_t{};
      i += bad ? 1 : len;
    } else {
      out.append(s.data() + i, len);
      i += len;
    }
  }
  return out;
}

}  // namespace pickbox
