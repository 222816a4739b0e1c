// A queue of mqtool -n lives as long as the process that ran mqtool: a
// detached watcher removes it when that process ends, however it ends.
#pragma once

#include <sys/ipc.h>

namespace lifetime {

enum class Watch {
  Started,    // the queue now goes with its owner
  NoPidfd,    // the kernel cannot watch a process (no pidfd): the queue stays until removed
  OwnerGone,  // the owner had already ended; nothing started
  Failed,     // nothing started; errno tells why
};

// Ties queue `id` (made under `key`) to the owner: mqtool's parent, or the
// shell it was forked from when the parent is only the copy that a shell forks
// to run $(mqtool -n) (bash does so for a command with a redirection). Call it
// before the key is out, while the owner waits for mqtool. The watcher holds
// none of mqtool's descriptors, and ends within a second of the queue's going
// by other means.
Watch tie_to_owner(int id, key_t key);

}  // namespace lifetime
