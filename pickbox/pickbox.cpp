// pickbox ITEM... TITLE: a framed list in the middle of the terminal; the
// chosen item is handed to mqtool, which posts it on the queue JUX_QUEID.
#include <curses.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "handoff.h"
#include "listnav.h"
#include "quelib.h"
#include "window.h"
#include "winkit.h"

namespace {

int fail(const std::string& why) {
  std::fprintf(stderr, "pickbox: %s\n", why.c_str());
  return 1;
}

// What the list shows, fitted to its rows once: texts never change.
struct List {
  std::vector<std::string> items;  // each cut to the row
  std::string top;                 // "- TITLE -", cut to the top edge
  std::string title_row;           // the title cut to a row: with no items it stands in the first
};

// The edges and the title: drawn once for each placement of the window.
void draw_edges(WINDOW* pvs, const List& list) {
  wattr_on(pvs, A_REVERSE, nullptr);
  wborder(pvs, ' ', ' ', ' ', ' ', 0, 0, 0, 0);
  mvwaddnstr(pvs, 0, 0, list.top.data(), static_cast<int>(list.top.size()));
  wattr_off(pvs, A_REVERSE, nullptr);
}

// The rows in sight, the selected one in reverse video; the terminal's
// cursor waits just after it.
void draw_rows(WINDOW* pvs, const List& list, pickbox::Pos pos) {
  static const std::string blanks(pickbox::inner, ' ');
  const int n = static_cast<int>(list.items.size());
  for (int k = 0; k < pickbox::shown_rows(n); ++k) {
    mvwaddnstr(pvs, k + 1, 1, blanks.data(), static_cast<int>(blanks.size()));
    const std::string& row = list.items[pos.yy + k];
    mvwaddnstr(pvs, k + 1, 1, row.data(), static_cast<int>(row.size()));
  }
  static const std::string blank(" ");
  const std::string& sel = n > 0 ? list.items[pos.selected()] : list.title_row;
  const std::string& mark = sel.empty() ? blank : sel;  // an empty item's highlight is one blank
  wattr_on(pvs, A_REVERSE, nullptr);
  mvwaddnstr(pvs, pos.j + 1, 1, mark.data(), static_cast<int>(mark.size()));
  wattr_off(pvs, A_REVERSE, nullptr);
}

// Puts the window where the terminal's size says; false while it does not fit.
bool place(winkit::Window& window, const List& list) {
  if (!winkit::place_window(window, pickbox::ylen, pickbox::xlen, pickbox::top_row(LINES), pickbox::left_col(COLS),
                            pickbox::min_lines, pickbox::min_cols))
    return false;
  draw_edges(window.get(), list);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Usage: pickbox ITEM... TITLE\n");
    return 1;
  }
  const std::vector<std::string> items(argv + 1, argv + argc - 1);
  const std::string title = argv[argc - 1];
  const int n = static_cast<int>(items.size());

  // What mqtool would refuse is refused before the user makes a choice.
  key_t qid = pickbox::default_qid;
  if (const char* env = std::getenv("JUX_QUEID"); env != nullptr) {
    if (readquekey(env, &qid) != 0) return fail("JUX_QUEID=" + std::string(env) + " is outside the range of a queue key");
    if (qid < QUE_MIN_SEND_KEY)
      return fail("JUX_QUEID=" + std::string(env) + " reads as " + std::to_string(qid) + ", below " +
                  std::to_string(QUE_MIN_SEND_KEY) + ", the lowest key mqtool sends on");
  }
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (items[k].size() > QUE_TEXT_MAX)
      return fail("item " + std::to_string(k + 1) + " is longer than " + std::to_string(QUE_TEXT_MAX) +
                  " bytes, the most one message holds");
  }
  // With no items the title is the one choice.
  if (items.empty() && title.empty()) return fail("the only choice, the title, is empty and cannot be posted");
  if (items.empty() && title.size() > QUE_TEXT_MAX)
    return fail("the only choice, the title, is longer than " + std::to_string(QUE_TEXT_MAX) +
                " bytes, the most one message holds");

  // Without the locale every non-ASCII text would show as escaped bytes.
  std::setlocale(LC_CTYPE, "");
  List list;
  list.items.reserve(items.size());
  for (const auto& text : items) list.items.push_back(winkit::shown_text(text, pickbox::inner));
  list.top = winkit::shown_text("- " + title + " -", pickbox::xlen);
  list.title_row = winkit::shown_text(title, pickbox::inner);

  winkit::TermSession session(winkit::Screen::Alternate, winkit::Input::Keys);
  if (!session.ok()) return fail(session.failure());
  winkit::Window window;
  if (!place(window, list)) {
    const std::string why = winkit::too_small(pickbox::min_lines, pickbox::min_cols, LINES, COLS);
    session.end();
    return fail(why);
  }

  pickbox::Pos pos;
  pickbox::Action act = pickbox::Action::None;
  bool stale = true;  // a key that moves nothing draws nothing
  for (;;) {
    WINDOW* input_win = window.ok() ? window.get() : stdscr;
    if (window.ok() && stale) {
      draw_rows(input_win, list, pos);
      wrefresh(input_win);
    }
    act = pickbox::key_action(winkit::read_key(input_win));
    if (act == pickbox::Action::Choose || act == pickbox::Action::Quit || act == pickbox::Action::Closed) break;
    if (act == pickbox::Action::Redraw) {
      winkit::follow_resize(window);
      place(window, list);
      stale = true;
      continue;
    }
    const pickbox::Pos moved = pickbox::apply(act, pos, n);
    stale = !(moved == pos);
    pos = moved;
  }

  window.close();
  session.end();
  if (act == pickbox::Action::Quit) return 255;
  if (act == pickbox::Action::Closed) return fail("input ended before a choice was made");
  // With no items the title is the choice, as it stands in the first row.
  const std::string& chosen = n > 0 ? items[pos.selected()] : title;
  if (chosen.empty()) return fail("the chosen item is empty, and an empty text cannot be posted");
  // A send waits while the queue is full: say so, or the blank wait looks hung.
  const auto full = [&] {
    if (!pickbox::queue_full(qid, chosen.size())) return false;
    std::fprintf(stderr, "pickbox: queue %ld is full; waiting for room (Ctrl-C gives up)\n", static_cast<long>(qid));
    return true;
  };
  const pickbox::CommandResult sent = pickbox::run_command(pickbox::handoff_argv(qid, chosen, title), full);
  if (sent.signal != 0) {
    std::signal(sent.signal, SIG_DFL);
    std::raise(sent.signal);
  }
  return sent.ok() ? 0 : fail(sent.why.empty() ? "interrupted while mqtool ran" : sent.why);
}
