#include "find.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "text.h"

namespace pickbox {

namespace {

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// Folds only characters of one byte: in Shift_JIS a letter's byte may be the
// second of a wide character. starts (when given) marks where characters begin.
void fold_into(std::string_view s, char* out, char* starts) {
  const bool wide = MB_CUR_MAX > 1;
  std::mbstate_t state{};
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = 1;
    if (wide && static_cast<unsigned char>(s[i]) >= 0x80) {
      len = std::mbrlen(s.data() + i, s.size() - i, &state);
      if (len == 0 || len > s.size() - i) {
        len = 1;
        state = std::mbstate_t{};
      }
    }
    for (std::size_t k = 0; k < len; ++k) {
      out[i + k] = len == 1 ? static_cast<char>(fold(static_cast<unsigned char>(s[i]))) : s[i + k];
      if (starts != nullptr) starts[i + k] = k == 0;
    }
    i += len;
  }
}

}  // namespace

std::string folded(std::string_view s) {
  std::string out(s.size(), '\0');
  fold_into(s, out.data(), nullptr);
  return out;
}

bool contains(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return true;
  if (needle.size() > hay.size()) return false;
  // Folding into a buffer and memmem keeps the search linear in the item's
  // length; a hit counts only where a character begins, since in EUC-JP the
  // end of one character and the start of the next may spell a third.
  char small[2 * 1024];
  std::string large;
  char* buf = small;
  if (hay.size() > sizeof small / 2) {
    large.resize(2 * hay.size());
    buf = large.data();
  }
  char* starts = buf + hay.size();
  fold_into(hay, buf, starts);
  const char* end = buf + hay.size();
  for (const char* p = buf; p + needle.size() <= end; ++p) {
    p = static_cast<const char*>(::memmem(p, static_cast<std::size_t>(end - p), needle.data(), needle.size()));
    if (p == nullptr) return false;
    if (starts[p - buf]) return true;
  }
  return false;
}

bool FindText::type(unsigned char byte) {
  std::string bytes;
  wchar_t wc = 0;
  if (!pending_.feed(byte, bytes, wc) || !std::iswprint(static_cast<wint_t>(wc)) ||
      text_.size() + bytes.size() > find_max)
    return false;
  text_ += bytes;
  lens_.push_back(static_cast<unsigned char>(bytes.size()));
  return true;
}

bool FindText::erase() {
  pending_.drop();
  if (lens_.empty()) return false;
  text_.resize(text_.size() - lens_.back());
  lens_.pop_back();
  return true;
}

bool FindText::clear() {
  pending_.drop();
  if (text_.empty()) return false;
  text_.clear();
  lens_.clear();
  return true;
}

std::string FindText::shown(int columns) const {
  const std::string line = "/" + text_;
  // Offsets where characters start; the fewest characters cut from the left
  // that let the rest fit.
  std::vector<std::size_t> starts{0, 1};
  for (unsigned char len : lens_) starts.push_back(starts.back() + len);
  starts.pop_back();
  auto fits = [&](std::size_t k) {
    const std::string_view rest = std::string_view(line).substr(starts[k]);
    return winkit::shown_text(rest, columns).size() == winkit::shown_text(rest, INT_MAX).size();
  };
  std::size_t lo = 0, hi = starts.size() - 1;  // the last character alone always fits
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (fits(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return winkit::shown_text(std::string_view(line).substr(starts[lo]), columns);
}

void Matches::every(int count) {
  all_ = true;
  count_ = count;
  rows_.clear();
  rows_.shrink_to_fit();
}

void Matches::narrow(const ItemList& items, std::string_view needle) {
  if (all_) {
    refill(items, needle);
    return;
  }
  rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                             [&](std::uint32_t k) { return !contains(items.at(static_cast<int>(k)), needle); }),
              rows_.end());
}

void Matches::refill(const ItemList& items, std::string_view needle) {
  all_ = false;
  count_ = items.count;
  rows_.clear();
  // Room for every item at once: pages never written take no memory, and
  // the list is never copied while it grows.
  rows_.reserve(static_cast<std::size_t>(items.count));
  for (int k = 0; k < items.count; ++k)
    if (contains(items.at(k), needle)) rows_.push_back(static_cast<std::uint32_t>(k));
}

int Matches::row_of(int item) const {
  if (all_) return item >= 0 && item < count_ ? item : -1;
  const auto it = std::lower_bound(rows_.begin(), rows_.end(), static_cast<std::uint32_t>(item));
  return it != rows_.end() && *it == static_cast<std::uint32_t>(item) ? static_cast<int>(it - rows_.begin()) : -1;
}

}  // namespace pickbox
