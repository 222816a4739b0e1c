// pickbox ITEM... TITLE: a framed list in the middle of the terminal; the
// chosen item is handed to mqtool, which posts it on the queue JUX_QUEID.
#include <curses.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "handoff.h"
#include "layout.h"
#include "liststate.h"
#include "process.h"
#include "quelib.h"
#include "request.h"
#include "session.h"
#include "terminal.h"
#include "text.h"
#include "window.h"

namespace {

int fail(const std::string& reason) {
  winkit::say("pickbox", reason);
  return 1;
}

// The texts that never change, fitted to the window once; the items are
// fitted only when they come in sight, so a long list starts at once.
struct Frame {
  std::string top_edge;   // "- TITLE -", cut to the top edge
  std::string title_row;  // the title cut to a row: with no items it stands in the first
};

// The edges and the title: drawn once for each placement of the window.
void draw_edges(WINDOW* list_window, const Frame& frame) {
  wattr_on(list_window, A_REVERSE, nullptr);
  wborder(list_window, ' ', ' ', ' ', ' ', 0, 0, 0, 0);
  mvwaddnstr(list_window, 0, 0, frame.top_edge.data(), static_cast<int>(frame.top_edge.size()));
  wattr_off(list_window, A_REVERSE, nullptr);
}

// Every item row (blank past the last shown), the selected one in reverse
// video, and the bottom edge. The terminal's cursor waits just after the
// selection, or after the find text while the find line is open.
void draw_rows(WINDOW* list_window, const Frame& frame, const pickbox::ListState& state,
               const pickbox::ItemList& items) {
  using pickbox::kListRows;
  using pickbox::kRowColumns;
  static const std::string blanks(kRowColumns, ' ');
  const pickbox::Pos pos = state.pos();
  const int n = state.rows();
  std::string highlighted = frame.title_row;
  for (int k = 0; k < kListRows; ++k) {
    mvwaddnstr(list_window, k + 1, 1, blanks.data(), static_cast<int>(blanks.size()));
    if (pos.first_shown + k >= n) continue;
    const std::string row = winkit::shown_text(items.at(state.item(pos.first_shown + k)), kRowColumns);
    mvwaddnstr(list_window, k + 1, 1, row.data(), static_cast<int>(row.size()));
    if (k == pos.highlight) highlighted = row;
  }
  wattr_on(list_window, A_REVERSE, nullptr);
  const int bottom = pickbox::kWindowRows - 1;
  mvwaddnstr(list_window, bottom, 1, blanks.data(), static_cast<int>(blanks.size()));
  if (n > 0 || items.count == 0) {
    if (highlighted.empty()) highlighted = " ";  // an empty item's highlight is one blank
    mvwaddnstr(list_window, pos.highlight + 1, 1, highlighted.data(), static_cast<int>(highlighted.size()));
  }
  if (state.finding()) {
    const std::string line = state.find().shown(kRowColumns);
    mvwaddnstr(list_window, bottom, 1, line.data(), static_cast<int>(line.size()));
  }
  wattr_off(list_window, A_REVERSE, nullptr);
}

// Puts the window where the terminal's size says; false while it does not fit.
bool place_list_window(winkit::Window& window, const Frame& frame) {
  if (!winkit::place_window(window, pickbox::list_geometry(LINES, COLS))) return false;
  draw_edges(window.get(), frame);
  return true;
}

// The keys until one ends the choice: Choose, Quit or Closed.
pickbox::Outcome choose(winkit::Window& window, const Frame& frame, pickbox::ListState& state,
                        const pickbox::ItemList& items) {
  using pickbox::Outcome;
  bool redraw_needed = true;  // a key that changes nothing draws nothing
  for (;;) {
    WINDOW* input_win = window.ok() ? window.get() : stdscr;
    if (window.ok() && redraw_needed) {
      draw_rows(input_win, frame, state, items);
      wrefresh(input_win);
    }
    const Outcome out = state.key(winkit::read_key(input_win));
    if (out == Outcome::Choose || out == Outcome::Quit || out == Outcome::Closed) return out;
    if (out == Outcome::Redraw) {
      winkit::follow_resize(window);
      place_list_window(window, frame);
      redraw_needed = true;
      continue;
    }
    if (out == Outcome::Beep) beep();
    redraw_needed = out == Outcome::Drawn;
  }
}

// Hands the choice to mqtool and waits: 0 once it is posted.
int hand_off(key_t queue_key, const std::string& chosen, const std::string& title) {
  if (chosen.empty()) return fail("the chosen item is empty, and an empty text cannot be posted");
  // A send waits while the queue is full: say so, or the blank wait looks hung.
  const auto full = [&] {
    if (quefull(queue_key, chosen.size()) != 1) return false;
    winkit::say("pickbox", "queue " + std::to_string(queue_key) + " is full; waiting for room (Ctrl-C gives up)");
    return true;
  };
  const pickbox::CommandResult sent = pickbox::run_command(pickbox::handoff_argv(queue_key, chosen, title), full);
  if (sent.signal != 0) winkit::die_by_signal(sent.signal);
  return sent.ok() ? 0 : fail(sent.reason.empty() ? "interrupted while mqtool ran" : sent.reason);
}

}  // namespace

int main(int argc, char** argv) {
  const pickbox::CheckedRequest checked = pickbox::check_request(argc, argv, std::getenv("JUX_QUEID"));
  if (checked.usage) {
    std::fprintf(stderr, "Usage: pickbox ITEM... TITLE\n");
    return 1;
  }
  if (!checked.refusal.empty()) return fail(checked.refusal);
  const pickbox::Request& request = checked.request;

  // Without the locale every non-ASCII text would show as escaped bytes.
  std::setlocale(LC_CTYPE, "");
  Frame frame;
  frame.top_edge = winkit::shown_text("- " + request.title + " -", pickbox::kWindowCols);
  frame.title_row = winkit::shown_text(request.title, pickbox::kRowColumns);

  winkit::TermSession session;
  if (!session.ok()) return fail(session.reason());
  winkit::Window window;
  if (!place_list_window(window, frame)) {
    const winkit::Geometry at = pickbox::list_geometry(LINES, COLS);
    const std::string reason = winkit::too_small(at.need_lines, at.need_cols, LINES, COLS);
    session.end();
    return fail(reason);
  }
  pickbox::ListState state(request.items);
  const pickbox::Outcome out = choose(window, frame, state, request.items);
  window.close();
  session.end();

  if (out == pickbox::Outcome::Quit) return 255;
  if (out == pickbox::Outcome::Closed) return fail("input ended before a choice was made");
  // With no items the title is the choice, as it stands in the first row.
  const std::string chosen(request.items.count > 0 ? request.items.at(state.chosen()) : std::string_view(request.title));
  return hand_off(request.queue_key, chosen, request.title);
}
