// What mqtool does: walks its command line and performs each action.
#include "mqrun.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "mqwalk.h"
#include "quelib.h"

namespace mqrun {

namespace {

// The name that starts the usage line and every reason: argv[0]'s last part.
const char* prog = "mqtool";

void usage() { fprintf(stderr, "Usage: %s [ -r que-id ] [ -s que-id]\n", prog); }

// Writes why the walk refused the command line, if it says anything.
void say(const mqwalk::Action& a, int argc) {
  switch (a.say) {
    case mqwalk::Say::Nothing:
      break;
    case mqwalk::Say::Usage:
      usage();
      break;
    case mqwalk::Say::TooLong:
      fprintf(stderr, "%s: text longer than %d bytes, the most one message holds\n", prog, QUE_TEXT_MAX);
      break;
    case mqwalk::Say::SendCount:
      fprintf(stderr, "%s: -s takes a que-id, a text and a tag: %d arguments in all, got %d\n", prog,
              mqwalk::kSendArgs, argc);
      break;
    case mqwalk::Say::RecvCount:
      fprintf(stderr, "%s: -r takes a que-id: %d arguments in all, got %d\n", prog, mqwalk::kRecvArgs, argc);
      break;
    case mqwalk::Say::BelowFloor: {
      // "abc" and " 5x" are keys too (0 and 5): name both the text and its key then.
      char digits[16];
      snprintf(digits, sizeof digits, "%d", static_cast<int>(a.key));
      if (strcmp(digits, a.queid) == 0)
        fprintf(stderr, "%s: que-id %s is below %d, the lowest a send takes\n", prog, a.queid,
                static_cast<int>(mqwalk::kMinSendKey));
      else
        fprintf(stderr, "%s: que-id \"%s\" reads as %s, below %d, the lowest a send takes\n", prog, a.queid, digits,
                static_cast<int>(mqwalk::kMinSendKey));
      break;
    }
    case mqwalk::Say::OutOfRange:
      fprintf(stderr, "%s: que-id %s is outside the range of keys, %d to %d\n", prog, a.queid, INT_MIN, INT_MAX);
      break;
  }
}

// Prints one error line with err_code; the walk goes on.
void fail(const char* what) {
  printf("%s ERROR:%s\n", what, err_code);
  fflush(stdout);
}

// How one action ended.
enum class Outcome {
  Done,
  Failed,       // a queue operation failed, its line is printed; the walk goes on
};

Outcome do_send(const mqwalk::Action& a) {
  int fd = createque(a.key);
  if (fd < 0) {
    fail("CREATE");
    return Outcome::Failed;
  }
  if (a.len == 0) return Outcome::Done;  // the queue is made, nothing is sent
  if (sendque(fd, mqwalk::kMsgType, a.text, a.len) < 0) {
    fail("SEND");
    return Outcome::Failed;
  }
  return Outcome::Done;
}

Outcome do_receive(const mqwalk::Action& a) {
  int fd = connectque(a.key);
  if (fd < 0) {
    fail("CONECT");
    return Outcome::Failed;
  }
  char msg[QUE_TEXT_MAX + 1];
  int n = recvque(fd, mqwalk::kMsgType, msg);
  if (n < 0) {
    fail("RECV");
    return Outcome::Failed;
  }
  msg[n] = '\0';
  puts(msg);
  // A later letter may wait long: the caller gets this line now.
  fflush(stdout);
  return Outcome::Done;
}

}  // namespace

int run(int argc, char** argv) {
  if (argc > 0) prog = mqwalk::base_name(argv[0]);
  mqwalk::Walk w;
  mqwalk::begin(w, argc, argv);
  bool failed = false;
  for (;;) {
    mqwalk::Action a = mqwalk::next(w);
    Outcome done = Outcome::Done;
    switch (a.act) {
      case mqwalk::Act::Send:
        done = do_send(a);
        break;
      case mqwalk::Act::Receive:
        done = do_receive(a);
        break;
      case mqwalk::Act::Usage:
        usage();
        break;
      case mqwalk::Act::Exit:
        say(a, argc);
        return a.status;
      case mqwalk::Act::End:
        return failed ? 2 : 0;
    }
    if (done == Outcome::Failed) failed = true;
  }
}

}  // namespace mqrun
