// Queues seen from outside the programs: messages put on and taken off with
// the system calls themselves, so that no test trusts the library it checks.
#pragma once

#include <sys/msg.h>

#include <cstring>
#include <optional>
#include <string>

namespace testsupport {

// One message as the kernel carries it, with room for more than any program
// may send.
struct QueueMessage {
  long type = 0;
  char text[8192];
};

// Puts text, bytes as they are, on queue id as one message of type; msgsnd's result.
inline int raw_send(int id, const std::string& text, long type = 96, int flags = 0) {
  QueueMessage m;
  m.type = type;
  if (text.size() > sizeof m.text) return -1;
  memcpy(m.text, text.data(), text.size());
  return msgsnd(id, &m, text.size(), flags);
}

// Takes the next message of type (0: any) off queue id without waiting, and
// its type into *got_type; nothing when there is none.
inline std::optional<std::string> raw_take(int id, long type = 96, long* got_type = nullptr) {
  QueueMessage m;
  const ssize_t n = id < 0 ? -1 : msgrcv(id, &m, sizeof m.text, type, IPC_NOWAIT);
  if (n < 0) return std::nullopt;
  if (got_type) *got_type = m.type;
  return std::string(m.text, static_cast<size_t>(n));
}

// Removes the queue of key, if there is one.
inline void remove_queue(key_t key) {
  const int id = msgget(key, 0);
  if (id >= 0) msgctl(id, IPC_RMID, nullptr);
}

// A new queue of key that holds at most bytes; its id, or -1.
inline int small_queue(key_t key, size_t bytes, int mode = 0600) {
  const int id = msgget(key, IPC_CREAT | IPC_EXCL | mode);
  msqid_ds ds{};
  if (id < 0 || msgctl(id, IPC_STAT, &ds) != 0) return -1;
  ds.msg_qbytes = bytes;
  return msgctl(id, IPC_SET, &ds) == 0 ? id : -1;
}

// Messages waiting on the queue of key, or -1 when there is no queue.
inline long queued(key_t key) {
  const int id = msgget(key, 0);
  msqid_ds ds{};
  if (id < 0 || msgctl(id, IPC_STAT, &ds) < 0) return -1;
  return static_cast<long>(ds.msg_qnum);
}

}  // namespace testsupport
