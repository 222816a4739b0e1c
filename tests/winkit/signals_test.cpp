// The memory a signal that ends the process wipes first: a secret being typed.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <csignal>
#include <cstring>

#include "proc.h"
#include "signals.h"

namespace {

TEST(WipeOnSignal, EndingSignalsZeroTheRegisteredMemoryFirst) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    // Shared with the child, so what its handler left is seen after it died.
    auto* secret = static_cast<char*>(mmap(nullptr, 64, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(secret, MAP_FAILED);
    std::strcpy(secret, "hunter2");
    const auto r = testsupport::run_function([&] {
      winkit::arm_signals(-1, termios{});  // no terminal to give back
      winkit::wipe_on_signal(secret, 64);
      std::raise(sig);
      return 0;
    });
    EXPECT_EQ(r.term_signal, sig);
    EXPECT_EQ(std::string(secret, 7), std::string(7, '\0')) << sig;
    munmap(secret, 64);
  }
}

}  // namespace
