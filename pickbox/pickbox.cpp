// pickbox ITEM... TITLE: a framed list in the middle of the terminal; the
// chosen item is handed to mqtool, which posts it on the queue JUX_QUEID.
#include <curses.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "handoff.h"
#include "listnav.h"
#include "rowtext.h"
#include "window.h"
#include "winkit.h"

namespace {

// Reads that fail in a row before we take the input as gone: with no
// timeout and keypad mode off, wgetch fails only when the read itself does.
constexpr int max_failed_reads = 3;

void draw_frame(WINDOW* pvs, const std::string& title) {
  wattr_on(pvs, A_REVERSE, nullptr);
  wborder(pvs, ' ', ' ', ' ', ' ', 0, 0, 0, 0);
  std::string top = pickbox::shown_text("- " + title + " -");
  std::string_view fit = winkit::clip_to_width(top, pickbox::xlen);
  mvwaddnstr(pvs, 0, 0, fit.data(), static_cast<int>(fit.size()));
  wattr_off(pvs, A_REVERSE, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 1;

  // Row k holds argument k + 1; the last row is the title and the tag.
  const std::vector<std::string> listbox(argv + 1, argv + argc);
  const int n = argc - 2;

  // Without the locale every non-ASCII text would show as escaped bytes.
  std::setlocale(LC_ALL, "");
  std::vector<std::string> shown;
  shown.reserve(listbox.size());
  for (const auto& text : listbox)
    shown.emplace_back(winkit::clip_to_width(pickbox::shown_text(text), pickbox::inner));

  winkit::TermSession session;
  if (!session.ok()) return 1;
  cbreak();
  typeahead(-1);  // no poll for pending keys before every update
  noecho();
  winkit::Window window(pickbox::ylen, pickbox::xlen, LINES / 2 - 8, COLS / 2 - 12);
  if (!window.ok()) return 1;  // the terminal is smaller than the window
  WINDOW* pvs = window.get();
  draw_frame(pvs, listbox[n]);

  const std::string blanks(pickbox::inner, ' ');
  pickbox::Pos pos;
  int failed = 0;
  pickbox::Action act = pickbox::Action::None;
  while (act != pickbox::Action::Choose) {
    for (int k = 0; k < pickbox::shown_rows(n); ++k) {
      mvwaddnstr(pvs, k + 1, 1, blanks.data(), static_cast<int>(blanks.size()));
      const std::string& row = shown[pos.yy + k];
      mvwaddnstr(pvs, k + 1, 1, row.data(), static_cast<int>(row.size()));
    }
    const std::string& sel = shown[pos.selected()];
    wattr_on(pvs, A_REVERSE, nullptr);
    mvwaddnstr(pvs, pos.j + 1, 1, sel.data(), static_cast<int>(sel.size()));
    wattr_off(pvs, A_REVERSE, nullptr);
    wrefresh(pvs);

    int ch = wgetch(pvs);
    if (ch == ERR) {
      if (++failed < max_failed_reads) continue;
      break;
    }
    failed = 0;
    act = pickbox::key_action(ch);
    if (act == pickbox::Action::Quit) break;
    pos = pickbox::apply(act, pos, n);
  }

  window.close();
  echo();
  nocbreak();
  session.end();
  if (act == pickbox::Action::Quit) return 255;
  if (act != pickbox::Action::Choose) return 1;  // input has ended
  const char* env = std::getenv("JUX_QUEID");
  bool sent = pickbox::run_command(pickbox::handoff_argv(pickbox::queue_id(env), listbox[pos.selected()], listbox[n]));
  return sent ? 0 : 1;
}
