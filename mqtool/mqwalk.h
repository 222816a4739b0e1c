// mqtool's command line, read without touching any queue: the option rows
// and the walk of their letters, one action at a time. The program performs
// the actions (mqrun.cpp); the tests check the walk on its own.
#pragma once

#include <stddef.h>
#include <sys/ipc.h>

#include "quelib.h"

namespace mqwalk {

const int kMinArgs = 3;      // argc of "mqtool -r que-id"; "mqtool -n" alone has fewer
const int kMaxArgs = 24;     // largest argc accepted
static_assert(kMaxArgs <= 32, "Walk::data holds one bit per argument");
const int kSendArgs = 5;     // argc of "mqtool -s que-id text tag"
const int kRecvArgs = 3;     // argc of "mqtool -r que-id"
const int kNewArgs = 2;      // argc of "mqtool -n"
const int kDelArgs = 3;      // argc of "mqtool -d que-id"
const key_t kMinSendKey = QUE_MIN_SEND_KEY;
const long kMsgType = QUE_MSG_TYPE;   // the only message type sent or taken

enum class Operation {
  Send,     // send text (len bytes) on the queue of key, making the queue
  Receive,  // receive one message from the existing queue of key and print it
  New,      // make a new queue of the user's own under a free key and print the key
  Delete,   // remove the queue of key
  Usage,    // write the usage line, then go on
  Exit,     // stop now with status; say tells what to write first (on standard error)
  End,      // the walk is complete
};

enum class Say {
  Nothing,
  Usage,       // the usage line
  TooLong,     // the text is over the size of one message
  SendCount,   // s, but argc is not kSendArgs
  RecvCount,   // r, but argc is not kRecvArgs
  NewCount,    // n, but argc is not kNewArgs
  DelCount,    // d, but argc is not kDelArgs
  BelowFloor,  // s with a key below kMinSendKey (key and queid tell which)
  OutOfRange,  // a que-id outside the range of key_t (queid tells which)
};

struct Action {
  Operation act = Operation::End;
  key_t key = 0;
  const char* queid = nullptr;  // the que-id argument as given, for Send, Receive, Delete and the refusals
  const char* text = nullptr;
  size_t len = 0;
  int status = 0;
  Say say = Say::Nothing;
};

// The state of one walk over a command line.
struct Walk {
  int argc = 0;
  char** argv = nullptr;
  unsigned data = 0;    // bit i: a letter walked so far took argument i as its data
  bool started = false;
  int row = 0;          // argument whose letters are being walked
  const char* letter = nullptr;  // next letter in that row, or null before the row
};

// Sets up a walk over argc/argv. Nothing is looked at yet.
void begin(Walk& w, int argc, char** argv);

// The next action. The first call checks the argument count (kMinArgs to
// kMaxArgs, or kNewArgs when argument 1 is a row holding n); then each call
// gives the action for the next letter, Exit or End being the last. The
// arguments are walked from the first (the program name) to the last, and an
// argument that begins with "-" is a row of letters, unless a letter before
// it took it as data: s takes the three arguments after its row (que-id,
// text, tag), r and d the one after its row (que-id), n none. Data is used
// as it is, dash and all, and never read for letters. argv is not changed.
Action next(Walk& w);

// The letters of row i as the walk sees them so far: what follows the dash
// of an argument that begins with "-" and is not data, "" for any other.
const char* row(const Walk& w, int i);

// The last path component of path: the text after the last "/", the whole
// path when it has none. Points into path.
const char* base_name(const char* path);

}  // namespace mqwalk
