#include "mqwalk.h"

#include <string.h>

#include "quelib.h"

namespace mqwalk {

namespace {

Action exit_with(int status, Say say) {
  Action a;
  a.act = Operation::Exit;
  a.status = status;
  a.say = say;
  return a;
}

// Marks arguments first..last (those that exist) as data.
void take_as_data(Walk& w, int first, int last) {
  for (int i = first; i <= last && i < w.argc; ++i) w.data |= 1u << i;
}

// a turned into a refusal that keeps what it read (the key, the que-id).
Action refuse(Action a, Say say) {
  a.act = Operation::Exit;
  a.status = 1;
  a.say = say;
  return a;
}

// The action of letter c found in the row of argument i.
Action letter_action(Walk& w, char c, int i) {
  Action a;
  if (c == 's') {
    if (w.argc != kSendArgs) return exit_with(1, Say::SendCount);
    if (i + 2 >= w.argc) return exit_with(1, Say::Usage);
    take_as_data(w, i + 1, i + 3);
    a.queid = w.argv[i + 1];
    const int refusal = sendquekey(a.queid, &a.key);
    if (refusal != QUEKEY_OK) return refuse(a, refusal == QUEKEY_BELOW_SEND ? Say::BelowFloor : Say::OutOfRange);
    a.text = w.argv[i + 2];
    a.len = strlen(a.text);
    if (a.len > QUE_TEXT_MAX) return refuse(a, Say::TooLong);
    a.act = Operation::Send;
  } else if (c == 'r' || c == 'd') {
    if (c == 'r' && w.argc != kRecvArgs) return exit_with(1, Say::RecvCount);
    if (c == 'd' && w.argc != kDelArgs) return exit_with(1, Say::DelCount);
    if (i + 1 >= w.argc) return exit_with(1, Say::Usage);
    take_as_data(w, i + 1, i + 1);
    a.queid = w.argv[i + 1];
    if (readquekey(a.queid, &a.key) != 0) return refuse(a, Say::OutOfRange);
    a.act = c == 'r' ? Operation::Receive : Operation::Delete;
  } else if (c == 'n') {
    if (w.argc != kNewArgs) return exit_with(1, Say::NewCount);
    a.act = Operation::New;
  } else {
    a.act = Operation::Usage;
  }
  return a;
}

}  // namespace

void begin(Walk& w, int argc, char** argv) {
  w = Walk();
  w.argc = argc;
  w.argv = argv;
}

const char* row(const Walk& w, int i) {
  if ((w.data >> i) & 1u || w.argv[i][0] != '-') return "";
  return w.argv[i] + 1;
}

Action next(Walk& w) {
  if (!w.started) {
    w.started = true;
    // One argument is too few, as ever, unless it asks for a new queue.
    bool lone_new = w.argc == kNewArgs && strchr(row(w, 1), 'n');
    if ((w.argc < kMinArgs && !lone_new) || w.argc > kMaxArgs) {
      w.row = w.argc;
      return exit_with(1, Say::Usage);
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
    if (a.act == Operation::Exit) w.row = w.argc;
    return a;
  }
  return Action();
}

const char* base_name(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace mqwalk
