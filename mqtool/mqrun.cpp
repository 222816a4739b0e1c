// What mqtool does: walks its command line and performs each action.
#include "mqrun.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdio_ext.h>
#include <string.h>
#include <sys/msg.h>

#include "lifetime.h"
#include "mqwalk.h"
#include "quelib.h"

namespace mqrun {

namespace {

// The name that starts the usage line and every reason: argv[0]'s last part.
const char* prog = "mqtool";

// Every line mqtool writes on standard error but the usage line: a reason,
// after the program's name. One write, as one fprintf to stderr would make
// it, so that the lines of two processes do not mix.
__attribute__((format(printf, 1, 2))) void write_reason(const char* format, ...) {
  char line[4096];
  int head = snprintf(line, sizeof line, "%s: ", prog);
  va_list args;
  va_start(args, format);
  int body = head < 0 || head >= static_cast<int>(sizeof line) ? -1 : vsnprintf(line + head, sizeof line - head, format, args);
  va_end(args);
  if (body >= 0 && head + body + 1 < static_cast<int>(sizeof line)) {
    line[head + body] = '\n';
    fwrite(line, 1, static_cast<size_t>(head + body + 1), stderr);
    return;
  }
  // Too long for the buffer (a long que-id or name): in parts.
  va_start(args, format);
  fprintf(stderr, "%s: ", prog);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
}

void write_usage() { fprintf(stderr, "Usage: %s [ -r que-id ] [ -s que-id]\n", prog); }

// A letter given the wrong number of arguments.
void write_count(const char* letter_takes, int want, int argc) {
  write_reason("%s: %d arguments in all, got %d", letter_takes, want, argc);
}

// Writes why the walk refused the command line, if it says anything.
void write_refusal(const mqwalk::Action& a, int argc) {
  switch (a.say) {
    case mqwalk::Say::Nothing:
      break;
    case mqwalk::Say::Usage:
      write_usage();
      break;
    case mqwalk::Say::TooLong:
      write_reason("text longer than %d bytes, the most one message holds", QUE_TEXT_MAX);
      break;
    case mqwalk::Say::SendCount: return write_count("-s takes a que-id, a text and a tag", mqwalk::kSendArgs, argc);
    case mqwalk::Say::RecvCount: return write_count("-r takes a que-id", mqwalk::kRecvArgs, argc);
    case mqwalk::Say::NewCount: return write_count("-n takes no other argument", mqwalk::kNewArgs, argc);
    case mqwalk::Say::DelCount: return write_count("-d takes a que-id", mqwalk::kDelArgs, argc);
    case mqwalk::Say::BelowFloor: {
      // "abc" and " 5x" are keys too (0 and 5): name both the text and its key then.
      char digits[16];
      snprintf(digits, sizeof digits, "%d", static_cast<int>(a.key));
      if (strcmp(digits, a.queid) == 0)
        write_reason("que-id %s is below %d, the lowest a send takes", a.queid, static_cast<int>(mqwalk::kMinSendKey));
      else
        write_reason("que-id \"%s\" reads as %s, below %d, the lowest a send takes", a.queid, digits,
                     static_cast<int>(mqwalk::kMinSendKey));
      break;
    }
    case mqwalk::Say::OutOfRange:
      write_reason("que-id %s is outside the range of keys, %d to %d", a.queid, INT_MIN, INT_MAX);
      break;
  }
}

// Prints the line of a failed queue operation, with err_code, on standard
// output; the walk goes on. A line that cannot be written is dropped rather
// than left to come out before a later one.
void write_error_line(const char* operation) {
  printf("%s ERROR:%s\n", operation, err_code);
  if (fflush(stdout) != 0) __fpurge(stdout);
}

// How one action ended.
enum class Outcome {
  Done,
  Failed,       // a queue operation failed, its line is printed; the walk goes on
  Refused,      // stop with status 1, nothing done
  NotWritten,   // a received text could not be written; stop with status 2
};

Outcome do_send(const mqwalk::Action& a) {
  int fd = createque(a.key);
  if (fd < 0) {
    write_error_line("CREATE");
    return Outcome::Failed;
  }
  if (a.len == 0) return Outcome::Done;  // the queue is made, nothing is sent
  if (sendque(fd, mqwalk::kMsgType, a.text, a.len) < 0) {
    write_error_line("SEND");
    return Outcome::Failed;
  }
  return Outcome::Done;
}

// Writes the text, NUL bytes and all, and a newline, and flushes: a later
// letter may wait long, and a failure must be known before going on. Gives 0,
// or the errno of the failure, with the unwritten rest dropped so that the
// exit does not write it after the message has gone back. A file over the
// size limit fails the write (EFBIG) instead of ending mqtool by SIGXFSZ
// with the message in hand.
int print(const char* text, size_t len) {
  struct sigaction ignore, before;
  memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &before);
  clearerr(stdout);
  errno = 0;
  int err = 0;
  if (fwrite(text, 1, len, stdout) != len || putchar('\n') == EOF || fflush(stdout) != 0) {
    err = errno ? errno : EIO;
    __fpurge(stdout);
  }
  sigaction(SIGXFSZ, &before, nullptr);
  return err;
}

// Puts a taken message back at the end of its queue, and says so. Not with
// sendque, which waits while the queue is full: mqtool must not hang holding
// the only copy.
void put_back(int fd, const mqwalk::Action& a, const char* text, size_t len, int write_err) {
  quemsg m;
  m.type = mqwalk::kMsgType;
  memcpy(m.msg, text, len);
  if (msgsnd(fd, &m, len, IPC_NOWAIT) == 0) {
    write_reason("cannot write to standard output (%s); the message is back at the end of queue %d", strerror(write_err),
                 static_cast<int>(a.key));
  } else {
    int err = errno;
    write_reason("cannot write to standard output (%s) nor put the message back on queue %d (%s); it is lost",
                 strerror(write_err), static_cast<int>(a.key), strerror(err));
  }
}

bool stdout_closed() {
  if (fcntl(1, F_GETFD) >= 0) return false;
  write_reason("standard output is closed");
  return true;
}

Outcome do_receive(const mqwalk::Action& a) {
  // Nowhere to print means no message is taken.
  if (stdout_closed()) return Outcome::Refused;
  int fd = connectque(a.key);
  if (fd < 0) {
    write_error_line("CONECT");
    return Outcome::Failed;
  }
  char text[QUE_TEXT_MAX];
  int n = recvque(fd, mqwalk::kMsgType, text);
  if (n < 0) {
    write_error_line("RECV");
    return Outcome::Failed;
  }
  // A reader that has gone gives EPIPE, and the message goes back, instead
  // of a SIGPIPE that ends mqtool holding it.
  signal(SIGPIPE, SIG_IGN);
  size_t len = static_cast<size_t>(n);
  int err = print(text, len);
  if (err == 0) return Outcome::Done;
  put_back(fd, a, text, len, err);
  return Outcome::NotWritten;
}

// The signals that end mqtool unless the caller ignores them.
const int kEnding[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2};

void set_ending(int how) {
  sigset_t ending;
  sigemptyset(&ending);
  for (int sig : kEnding) sigaddset(&ending, sig);
  sigprocmask(how, &ending, nullptr);
}

// Whether one of kEnding came while blocked and will end mqtool once let in.
bool ending_pending() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return false;
  for (int sig : kEnding) {
    struct sigaction now;
    if (sigismember(&pending, sig) == 1 && sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_IGN)
      return true;
  }
  return false;
}

// A queue nobody knows the key of would stay for ever: with nowhere to
// print the key, none is made, and one whose key could not be written, or
// whose maker is ended by a signal before it could answer, goes again. The
// signals are held from here to the end of the run, which has only more n
// letters and usage lines left (n takes no other argument): one that comes
// after the key is out is dropped, and the run ends as it answered. Once the
// key is out, the queue goes with the process that ran mqtool.
Outcome do_new() {
  if (stdout_closed()) return Outcome::Refused;
  set_ending(SIG_BLOCK);
  key_t key = 0;
  int fd = createque_own(&key);
  if (fd < 0) {
    int err = errno;
    write_reason("cannot make a new queue: %s", err == EEXIST   ? "every key drawn is taken"
                                                : err == ENOSPC ? "the system's limit of queues is reached"
                                                                : strerror(err));
    return Outcome::Failed;
  }
  lifetime::Watch watch = lifetime::tie_to_owner(fd, key);
  if (watch == lifetime::Watch::Failed || watch == lifetime::Watch::OwnerGone) {
    int err = errno;
    msgctl(fd, IPC_RMID, nullptr);
    write_reason("cannot make a new queue: %s", watch == lifetime::Watch::OwnerGone
                                                    ? "the process that ran mqtool has ended"
                                                    : strerror(err));
    return Outcome::Failed;
  }
  signal(SIGPIPE, SIG_IGN);
  char digits[16];
  int len = snprintf(digits, sizeof digits, "%d", static_cast<int>(key));
  int err = print(digits, static_cast<size_t>(len));
  if (err == 0 && !ending_pending()) {
    if (watch == lifetime::Watch::NoPidfd)
      write_reason("this system cannot watch a process (no pidfd): the new queue %d stays until removed (mqtool -d)",
                   static_cast<int>(key));
    return Outcome::Done;
  }
  msgctl(fd, IPC_RMID, nullptr);
  if (err == 0) {
    set_ending(SIG_UNBLOCK);  // ends mqtool by the signal that came
    return Outcome::NotWritten;
  }
  write_reason("cannot write to standard output (%s); the new queue %d is removed again", strerror(err),
               static_cast<int>(key));
  return Outcome::NotWritten;
}

// Only a queue the user made or owns goes (disconnectque's rule), also for
// root.
Outcome do_delete(const mqwalk::Action& a) {
  int fd = connectque(a.key);
  if (fd >= 0 && disconnectque(fd) == 0) return Outcome::Done;
  int err = errno;
  write_reason("cannot remove queue %d: %s", static_cast<int>(a.key),
               err == ENOENT || err == EINVAL || err == EIDRM ? "no queue has this key"
               : err == EPERM                                 ? "it is another user's"
                                                              : strerror(err));
  return Outcome::Failed;
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
      case mqwalk::Operation::Send:
        done = do_send(a);
        break;
      case mqwalk::Operation::Receive:
        done = do_receive(a);
        break;
      case mqwalk::Operation::New:
        done = do_new();
        break;
      case mqwalk::Operation::Delete:
        done = do_delete(a);
        break;
      case mqwalk::Operation::Usage:
        write_usage();
        break;
      case mqwalk::Operation::Exit:
        write_refusal(a, argc);
        return a.status;
      case mqwalk::Operation::End:
        return failed ? 2 : 0;
    }
    if (done == Outcome::Failed) failed = true;
    if (done == Outcome::Refused) return 1;
    if (done == Outcome::NotWritten) return 2;
  }
}

}  // namespace mqrun
