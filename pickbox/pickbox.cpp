// pickbox ITEM... TITLE: a framed list in the middle of the terminal; the
// chosen item is handed to mqtool, which posts it on the queue JUX_QUEID.
#include <curses.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "find.h"
#include "handoff.h"
#include "listnav.h"
#include "quelib.h"
#include "window.h"
#include "session.h"
#include "terminal.h"
#include "text.h"

namespace {

int fail(const std::string& reason) {
  winkit::say("pickbox", reason);
  return 1;
}

// The texts that never change, fitted to the window once; the items are
// fitted only when they come in sight, so a long list starts at once.
struct List {
  std::string top;        // "- TITLE -", cut to the top edge
  std::string title_row;  // the title cut to a row: with no items it stands in the first
};

// The edges and the title: drawn once for each placement of the window
// (pvs: the list window).
void draw_edges(WINDOW* pvs, const List& list) {
  wattr_on(pvs, A_REVERSE, nullptr);
  wborder(pvs, ' ', ' ', ' ', ' ', 0, 0, 0, 0);
  mvwaddnstr(pvs, 0, 0, list.top.data(), static_cast<int>(list.top.size()));
  wattr_off(pvs, A_REVERSE, nullptr);
}

// Every item row (blank past the last shown), the selected one in reverse
// video, and the bottom edge. The terminal's cursor waits just after the
// selection, or after the find text while the find line is open.
void draw_rows(WINDOW* pvs, const List& list, const pickbox::ListState& state, const pickbox::ItemList& items) {
  static const std::string blanks(pickbox::inner, ' ');
  const pickbox::Pos pos = state.pos();
  const int n = state.rows();
  std::string sel = list.title_row;
  for (int k = 0; k < pickbox::visible; ++k) {
    mvwaddnstr(pvs, k + 1, 1, blanks.data(), static_cast<int>(blanks.size()));
    if (pos.yy + k >= n) continue;
    const std::string row = winkit::shown_text(items.at(state.item(pos.yy + k)), pickbox::inner);
    mvwaddnstr(pvs, k + 1, 1, row.data(), static_cast<int>(row.size()));
    if (k == pos.j) sel = row;
  }
  wattr_on(pvs, A_REVERSE, nullptr);
  mvwaddnstr(pvs, pickbox::ylen - 1, 1, blanks.data(), static_cast<int>(blanks.size()));
  if (n > 0 || items.count == 0) {
    if (sel.empty()) sel = " ";  // an empty item's highlight is one blank
    mvwaddnstr(pvs, pos.j + 1, 1, sel.data(), static_cast<int>(sel.size()));
  }
  if (state.finding()) {
    const std::string line = state.find().shown(pickbox::inner);
    mvwaddnstr(pvs, pickbox::ylen - 1, 1, line.data(), static_cast<int>(line.size()));
  }
  wattr_off(pvs, A_REVERSE, nullptr);
}

// Puts the window where the terminal's size says; false while it does not fit.
bool place_list_window(winkit::Window& window, const List& list) {
  if (!winkit::place_window(window, {pickbox::ylen, pickbox::xlen, pickbox::top_row(LINES), pickbox::left_col(COLS),
                                     pickbox::min_lines, pickbox::min_cols}))
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
  // The items stay where the arguments are: a list may be as long as an
  // argument list holds.
  const pickbox::ItemList items{argv + 1, argc - 2};
  const std::string title = argv[argc - 1];

  // What mqtool would refuse is refused before the user makes a choice.
  key_t qid = pickbox::default_qid;
  if (const char* env = std::getenv("JUX_QUEID"); env != nullptr) {
    const int refusal = sendquekey(env, &qid);
    if (refusal == QUEKEY_OUT_OF_RANGE) return fail("JUX_QUEID=" + std::string(env) + " is outside the range of a queue key");
    if (refusal == QUEKEY_BELOW_SEND)
      return fail("JUX_QUEID=" + std::string(env) + " reads as " + std::to_string(qid) + ", below " +
                  std::to_string(QUE_MIN_SEND_KEY) + ", the lowest key mqtool sends on");
  }
  for (int k = 0; k < items.count; ++k) {
    if (items.at(k).size() > QUE_TEXT_MAX)
      return fail("item " + std::to_string(k + 1) + " is longer than " + std::to_string(QUE_TEXT_MAX) +
                  " bytes, the most one message holds");
  }
  // With no items the title is the one choice.
  if (items.count == 0 && title.empty()) return fail("the only choice, the title, is empty and cannot be posted");
  if (items.count == 0 && title.size() > QUE_TEXT_MAX)
    return fail("the only choice, the title, is longer than " + std::to_string(QUE_TEXT_MAX) +
                " bytes, the most one message holds");

  // Without the locale every non-ASCII text would show as escaped bytes.
  std::setlocale(LC_CTYPE, "");
  List list;
  list.top = winkit::shown_text("- " + title + " -", pickbox::xlen);
  list.title_row = winkit::shown_text(title, pickbox::inner);

  winkit::TermSession session;
  if (!session.ok()) return fail(session.reason());
  winkit::Window window;
  if (!place_list_window(window, list)) {
    const std::string reason = winkit::too_small(pickbox::min_lines, pickbox::min_cols, LINES, COLS);
    session.end();
    return fail(reason);
  }

  pickbox::ListState state(items);
  pickbox::Outcome out = pickbox::Outcome::None;
  bool redraw_needed = true;  // a key that changes nothing draws nothing
  for (;;) {
    WINDOW* input_win = window.ok() ? window.get() : stdscr;
    if (window.ok() && redraw_needed) {
      draw_rows(input_win, list, state, items);
      wrefresh(input_win);
    }
    out = state.key(winkit::read_key(input_win));
    if (out == pickbox::Outcome::Choose || out == pickbox::Outcome::Quit || out == pickbox::Outcome::Closed) break;
    if (out == pickbox::Outcome::Redraw) {
      winkit::follow_resize(window);
      place_list_window(window, list);
      redraw_needed = true;
      continue;
    }
    if (out == pickbox::Outcome::Beep) beep();
    redraw_needed = out == pickbox::Outcome::Drawn;
  }

  window.close();
  session.end();
  if (out == pickbox::Outcome::Quit) return 255;
  if (out == pickbox::Outcome::Closed) return fail("input ended before a choice was made");
  // With no items the title is the choice, as it stands in the first row.
  const std::string chosen(items.count > 0 ? items.at(state.chosen()) : std::string_view(title));
  if (chosen.empty()) return fail("the chosen item is empty, and an empty text cannot be posted");
  // A send waits while the queue is full: say so, or the blank wait looks hung.
  const auto full = [&] {
    if (quefull(qid, chosen.size()) != 1) return false;
    winkit::say("pickbox", "queue " + std::to_string(qid) + " is full; waiting for room (Ctrl-C gives up)");
    return true;
  };
  const pickbox::CommandResult sent = pickbox::run_command(pickbox::handoff_argv(qid, chosen, title), full);
  if (sent.signal != 0) winkit::die_by_signal(sent.signal);
  return sent.ok() ? 0 : fail(sent.reason.empty() ? "interrupted while mqtool ran" : sent.reason);
}
