// What mqtool does: walks its command line and performs each action.
#include "mqrun.h"

#include <stdio.h>

#include "mqwalk.h"
#include "quelib.h"

namespace mqrun {

namespace {

void usage(const char* argv0) { fprintf(stderr, "Usage: %s [ -r que-id ] [ -s que-id]\n", mqwalk::base_name(argv0)); }

// Prints one error line with err_code; the walk goes on.
void fail(const char* what) {
  printf("%s ERROR:%s\n", what, err_code);
  fflush(stdout);
}

// Sends the text; false when a queue operation failed.
bool do_send(const mqwalk::Action& a) {
  int fd = createque(a.key);
  if (fd < 0) {
    fail("CREATE");
    return false;
  }
  if (a.len == 0) return true;  // the queue is made, nothing is sent
  if (sendque(fd, mqwalk::kMsgType, a.text, a.len) < 0) {
    fail("SEND");
    return false;
  }
  return true;
}

// Receives one message and prints it; false when a queue operation failed.
bool do_receive(const mqwalk::Action& a) {
  int fd = connectque(a.key);
  if (fd < 0) {
    fail("CONECT");
    return false;
  }
  char msg[QUE_TEXT_MAX + 1];
  int n = recvque(fd, mqwalk::kMsgType, msg);
  if (n < 0) {
    fail("RECV");
    return false;
  }
  msg[n] = '\0';
  puts(msg);
  // A later letter may wait long: the caller gets this line now.
  fflush(stdout);
  return true;
}

}  // namespace

int run(int argc, char** argv) {
  mqwalk::Walk w;
  mqwalk::begin(w, argc, argv);
  bool failed = false;
  for (;;) {
    mqwalk::Action a = mqwalk::next(w);
    switch (a.act) {
      case mqwalk::Act::Send:
        if (!do_send(a)) failed = true;
        break;
      case mqwalk::Act::Receive:
        if (!do_receive(a)) failed = true;
        break;
      case mqwalk::Act::Usage:
        usage(argv[0]);
        break;
      case mqwalk::Act::Exit:
        if (a.say == mqwalk::Say::Usage) usage(argc > 0 ? argv[0] : "mqtool");
        if (a.say == mqwalk::Say::TooLong)
          fprintf(stderr, "%s: text longer than %d bytes, the most one message holds\n", mqwalk::base_name(argv[0]),
                  QUE_TEXT_MAX);
        return a.status;
      case mqwalk::Act::End:
        return failed ? 2 : 0;
    }
  }
}

}  // namespace mqrun
