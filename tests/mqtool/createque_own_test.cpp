// createque_own: a new queue of the caller's own under a key no queue has.
#include <sys/msg.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>

#include "qtest.h"
#include "quelib.h"

namespace {

// Draws handed out before the system's own, so that a test can make the
// library draw a key that is taken.
std::deque<unsigned int> scripted_draws;

}  // namespace

// Stands in for the C library's getrandom throughout this test program: the
// library linked into it draws here. Without scripted draws it is the system
// call itself.
extern "C" ssize_t getrandom(void* buf, size_t len, unsigned int flags) {
  if (!scripted_draws.empty() && len == sizeof(unsigned int)) {
    memcpy(buf, &scripted_draws.front(), len);
    scripted_draws.pop_front();
    return static_cast<ssize_t>(len);
  }
  return syscall(SYS_getrandom, buf, len, flags);
}

namespace {

class CreatequeOwn : public qtest::QueueTest {
 protected:
  void TearDown() override {
    scripted_draws.clear();
    QueueTest::TearDown();
  }
};

// Draws below the floor, with the sign bit, or on a taken key are not used:
// each row's draws end in the key the queue must get.
TEST_F(CreatequeOwn, DrawsAgainUntilAFreeKeyAtOrAboveTheFloor) {
  const unsigned int taken = static_cast<unsigned int>(key(1));
  const unsigned int free_key = static_cast<unsigned int>(key(2));
  ASSERT_GE(msgget(key(1), IPC_CREAT | 0666), 0);
  ASSERT_EQ(sendque(msgget(key(1), 0), 96, "theirs", 6), 0);
  struct Row {
    const char* why;
    std::deque<unsigned int> draws;
  } rows[] = {
      {"free at once", {free_key}},
      {"taken, then free", {taken, taken, free_key}},
      {"below the floor", {0, 9999, free_key}},
      {"sign bit", {0x80000000u | free_key}},
  };
  for (const Row& r : rows) {
    scripted_draws = r.draws;
    key_t k = 0;
    int id = createque_own(&k);
    EXPECT_EQ(k, key(2)) << r.why;
    EXPECT_EQ(id, msgget(key(2), 0)) << r.why;
    EXPECT_TRUE(scripted_draws.empty()) << r.why;
    qtest::remove_queue(key(2));
  }
  EXPECT_EQ(qtest::queued(key(1)), 1);
}

TEST_F(CreatequeOwn, GivesUpWithEexistWhenEveryDrawIsTaken) {
  ASSERT_GE(msgget(key(1), IPC_CREAT | 0666), 0);
  scripted_draws.assign(100000, static_cast<unsigned int>(key(1)));
  key_t k = 12345;
  EXPECT_EQ(createque_own(&k), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_STREQ(err_code, qtest::code_of(EEXIST).c_str());
  EXPECT_EQ(k, 12345);
  EXPECT_GT(scripted_draws.size(), 0u) << "no bound on the draws";
}

}  // namespace
