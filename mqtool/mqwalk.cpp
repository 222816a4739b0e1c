#include "mqwalk.h"

#include <stdlib.h>
#include <string.h>

#include "quelib.h"

namespace mqwalk {

namespace {

Action exit_with(int status, Say say) {
  Action a;
  a.act = Act::Exit;
  a.status = status;
  a.say = say;
  return a;
}

// The action of letter c found in the row of argument i.
Action letter_action(const Walk& w, char c, int i) {
  Action a;
  if (c == 's') {
    if (w.argc != kSendArgs) return exit_with(1, Say::Nothing);
    if (i + 2 >= w.argc) return exit_with(1, Say::Usage);
    a.key = atoi(w.argv[i + 1]);
    if (a.key < kMinSendKey) return exit_with(1, Say::Nothing);
    a.text = w.argv[i + 2];
    a.len = strlen(a.text);
    if (a.len > QUE_TEXT_MAX) return exit_with(1, Say::TooLong);
    a.act = Act::Send;
  } else if (c == 'r') {
    if (w.argc != kRecvArgs) return exit_with(1, Say::Nothing);
    if (i + 1 >= w.argc) return exit_with(1, Say::Usage);
    a.key = atoi(w.argv[i + 1]);
    a.act = Act::Receive;
  } else {
    a.act = Act::Usage;
  }
  return a;
}

}  // namespace

void begin(Walk& w, int argc, char** argv) {
  w = Walk();
  w.argc = argc;
  w.argv = argv;
}

const char* row(const Walk& w, int i) { return (w.dashed >> i) & 1u ? w.argv[i] : ""; }

Action next(Walk& w) {
  if (!w.started) {
    w.started = true;
    if (w.argc < kMinArgs || w.argc > kMaxArgs) {
      w.row = w.argc;
      return exit_with(1, Say::Usage);
    }
    for (int i = 0; i < w.argc; ++i) {
      if (w.argv[i][0] == '-') {
        ++w.argv[i];
        w.dashed |= 1u << i;
      }
    }
  }
  while (w.row < w.argc) {
    if (!w.letter) w.letter = row(w, w.row);
    char c = *w.letter;
    if (c == '\0') {
      ++w.row;
      w.letter = nullptr;
      continue;
    }
    ++w.letter;
    Action a = letter_action(w, c, w.row);
    if (a.act == Act::Exit) w.row = w.argc;
    return a;
  }
  return Action();
}

const char* base_name(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace mqwalk
