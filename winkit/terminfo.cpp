#include <curses.h>
#include <term.h>

#include "winkit.h"

namespace winkit {

namespace {

std::string* g_collect = nullptr;
int collect(int c) {
  g_collect->push_back(static_cast<char>(c));
  return c;
}

}  // namespace

bool usable(const char* cap) { return cap != nullptr && cap != reinterpret_cast<const char*>(-1) && cap[0] != '\0'; }

std::string expand(const char* cap) {
  std::string out;
  if (!usable(cap)) return out;
  g_collect = &out;
  tputs(cap, 1, collect);
  g_collect = nullptr;
  return out;
}

std::string cursor_to(int row, int col) {
  if (!usable(cursor_address)) return {};
  return expand(tiparm(cursor_address, row, col));
}

}  // namespace winkit
