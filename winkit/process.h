// How a program reports a failure, ends by a signal, and writes without
// losing bytes to an interrupt. Plain POSIX calls: no terminal.
#pragma once

#include <cstddef>
#include <string>

namespace winkit {

// The one way a program reports a failure: "prog: reason" on standard error.
void say(const char* prog, const std::string& reason);

// Ends the process by sig, as its default action would, so the caller sees
// it; returns when that action does not end it (a stop). Signal-safe.
void die_by_signal(int sig);

// Writes all of bytes to fd, going on after interrupts; false on failure.
// Safe in a signal handler.
bool write_all(int fd, const char* bytes, std::size_t len);

}  // namespace winkit
