// SPDX-License-Identifier: MIT
// The queue library. Built without exceptions and RTTI and with C headers
// only, so that a program linking it needs nothing beyond the C library.
#include "quelib.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/msg.h>
#include <sys/random.h>
#include <unistd.h>

char quelib_err_code[7];

namespace {

const int kPerm = 0666;
// A run's own queue: its user's alone.
const int kOwnPerm = 0600;
// Draws before createque_own gives up. With at most a few tens of thousands
// of queues among 2^31 keys, even two draws in a row hitting one is rare.
const int kOwnDraws = 100;

// Writes the current errno into err_code.
void record_error() { snprintf(err_code, sizeof err_code, "%05d", errno); }

// msgrcv of one message of the given type into qmsg, waiting for it.
ssize_t receive(int quefd, long type, quemsg* qmsg) { return msgrcv(quefd, qmsg, QUE_TEXT_MAX, type, 0); }

}  // namespace

extern "C" {

// key_t is int on every system this runs on; the range check relies on it.
static_assert(sizeof(key_t) == sizeof(int) && static_cast<key_t>(-1) < 0, "key_t is a signed int");

int readquekey(const char* text, key_t* quekey) {
  // strtol reads what atoi reads; past the range of long it saturates with
  // ERANGE, so every number outside int is seen as such, however long.
  errno = 0;
  long v = strtol(text, nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) {
    errno = ERANGE;
    record_error();
    return -1;
  }
  *quekey = static_cast<key_t>(v);
  return 0;
}

int sendquekey(const char* text, key_t* quekey) {
  if (readquekey(text, quekey) != 0) return QUEKEY_OUT_OF_RANGE;
  return *quekey < QUE_MIN_SEND_KEY ? QUEKEY_BELOW_SEND : QUEKEY_OK;
}

int createque(key_t quekey) {
  errno = 0;
  int fd = msgget(quekey, IPC_CREAT | kPerm);
  if (fd < 0) {
    record_error();
    return -1;
  }
  return fd;
}

int connectque(key_t quekey) {
  // msgget(IPC_PRIVATE, ...) would make a new queue that nobody else can
  // reach, and a receive on it would wait for ever.
  if (quekey == IPC_PRIVATE) {
    errno = ENOENT;
    record_error();
    return -1;
  }
  int fd = msgget(quekey, kPerm);
  if (fd < 0) {
    record_error();
    return -1;
  }
  return fd;
}

int disconnectque(int quefd) {
  uid_t uid = getuid();
  errno = 0;
  struct msqid_ds mqstat;
  if (msgctl(quefd, IPC_STAT, &mqstat) < 0) return -1;
  if (uid != mqstat.msg_perm.cuid && uid != mqstat.msg_perm.uid) {
    errno = EPERM;
    return -1;
  }
  if (msgctl(quefd, IPC_RMID, nullptr) < 0) {
    record_error();
    return -1;
  }
  return 0;
}

int createque_del(key_t quekey) {
  errno = 0;
  int fd = msgget(quekey, IPC_CREAT | IPC_EXCL | kPerm);
  if (fd < 0 && errno == EEXIST) {
    int old = msgget(quekey, kPerm);
    if (old < 0) {
      record_error();
      return -1;
    }
    disconnectque(old);
    fd = msgget(quekey, IPC_CREAT | kPerm);
  }
  if (fd < 0) {
    record_error();
    return -1;
  }
  return fd;
}

int createque_own(key_t* quekey) {
  for (int i = 0; i < kOwnDraws; ++i) {
    unsigned int r = 0;
    ssize_t got = getrandom(&r, sizeof r, 0);
    if (got < 0 && errno != EINTR) {
      record_error();
      return -1;
    }
    if (got != static_cast<ssize_t>(sizeof r)) continue;
    // Uniform over 0..INT_MAX; the few draws below the floor are drawn again.
    key_t k = static_cast<key_t>(r & INT_MAX);
    if (k < QUE_MIN_SEND_KEY) continue;
    errno = 0;
    int fd = msgget(k, IPC_CREAT | IPC_EXCL | kOwnPerm);
    if (fd >= 0) {
      *quekey = k;
      return fd;
    }
    if (errno != EEXIST) {
      record_error();
      return -1;
    }
  }
  errno = EEXIST;
  record_error();
  return -1;
}

int quefull(key_t quekey, size_t size) {
  struct msqid_ds ds;
  int fd = connectque(quekey);
  if (fd < 0) return -1;
  if (msgctl(fd, IPC_STAT, &ds) < 0) {
    record_error();
    return -1;
  }
  // The kernel's test: the bytes, and one message a byte at most.
  return ds.msg_cbytes + size > ds.msg_qbytes || ds.msg_qnum + 1 > ds.msg_qbytes;
}

int sendque(int quefd, long type, const void* s, size_t size) {
  if (size > QUE_TEXT_MAX) {
    errno = EINVAL;
    record_error();
    return -1;
  }
  quemsg qmsg;
  qmsg.type = type;
  memcpy(qmsg.msg, s, size);
  qmsg.msg[size] = '\0';
  int ret = msgsnd(quefd, &qmsg, size, 0);
  if (ret < 0) record_error();
  return ret;
}

int recvque(int quefd, long type, void* s) {
  quemsg qmsg;
  ssize_t ret = receive(quefd, type, &qmsg);
  if (ret < 0) {
    if (errno != EINTR) record_error();
    return -1;
  }
  memcpy(s, qmsg.msg, static_cast<size_t>(ret));
  return static_cast<int>(ret);
}

int recvqueH(int quefd, long type, void* s) {
  quemsg qmsg;
  ssize_t ret = receive(quefd, type, &qmsg);
  char* out = static_cast<char*>(s);
  if (ret < 0) {
    if (errno != EINTR) record_error();
    out[0] = '\0';
    return -1;
  }
  memcpy(out, &qmsg.type, sizeof qmsg.type);
  memcpy(out + sizeof qmsg.type, qmsg.msg, static_cast<size_t>(ret));
  return static_cast<int>(ret + static_cast<ssize_t>(sizeof qmsg.type));
}

}  // extern "C"
