// The queue library against real queues.
#include <sys/msg.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include "qtest.h"
#include "quelib.h"

namespace {

using qtest::code_of;
using qtest::queued;

class Quelib : public qtest::QueueTest {
 protected:
  // Leaves a known failure in err_code: ENOENT from attaching a missing queue.
  void mark_err_code() {
    key_t missing = key(200);
    ASSERT_EQ(connectque(missing), -1);
    ASSERT_STREQ(err_code, "00002");
  }
};

using testsupport::raw_send;

// Texts that read as a key, each with what atoi makes of it too.
TEST(Readquekey, ReadsAsAtoiWithinTheRangeOfKeys) {
  const std::string huge_zeros = std::string(5000, '0') + "42";
  struct Row {
    const char* text;
    key_t key;
  } rows[] = {
      {"30001", 30001},
      {"+30001", 30001},
      {"-30001", -30001},
      {" \t\n\v\f\r30001", 30001},
      {"30001abc", 30001},
      {"30001 40001", 30001},
      {"3e5", 3},
      {"0x7531", 0},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"+-5", 0},
      {"- 5", 0},
      {"-0", 0},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"+2147483647xyz", INT_MAX},
      {huge_zeros.c_str(), 42},
  };
  for (const Row& r : rows) {
    key_t key = 12345;
    memset(err_code, 0, sizeof err_code);
    EXPECT_EQ(readquekey(r.text, &key), 0) << '"' << r.text << '"';
    EXPECT_EQ(key, r.key) << '"' << r.text << '"';
    EXPECT_EQ(key, atoi(r.text)) << '"' << r.text << '"';
    EXPECT_STREQ(err_code, "") << '"' << r.text << '"';
  }
}

TEST(Readquekey, NumberOutsideTheRangeOfKeysFailsWithErange) {
  const std::string huge = std::string(400, '9');
  const std::string huge_neg = "-" + huge;
  for (const char* text : {"2147483648", "-2147483649", "4295017297", "9223372036854775807",
                           "9223372036854775808", "-9223372036854775809", " +99999999999 x", huge.c_str(),
                           huge_neg.c_str()}) {
    key_t key = 12345;
    memset(err_code, 0, sizeof err_code);
    errno = 0;
    EXPECT_EQ(readquekey(text, &key), -1) << text;
    EXPECT_EQ(errno, ERANGE) << text;
    EXPECT_STREQ(err_code, code_of(ERANGE).c_str()) << text;
    EXPECT_EQ(key, 12345) << text;
  }
}

TEST(Sendquekey, RefusesWhatNoSendTakesAndSaysWhy) {
  struct Row {
    const char* text;
    int refusal;
    key_t key;  // after the call; 7 is the key before it
  } rows[] = {
      {"10000", QUEKEY_OK, 10000},           {"2147483647", QUEKEY_OK, INT_MAX},
      {"9999", QUEKEY_BELOW_SEND, 9999},     {"abc", QUEKEY_BELOW_SEND, 0},
      {"-5", QUEKEY_BELOW_SEND, -5},         {"2147483648", QUEKEY_OUT_OF_RANGE, 7},
      {"-2147483649", QUEKEY_OUT_OF_RANGE, 7},
  };
  for (const Row& r : rows) {
    key_t key = 7;
    EXPECT_EQ(sendquekey(r.text, &key), r.refusal) << r.text;
    EXPECT_EQ(key, r.key) << r.text;
  }
}

// A test on a queue of its own, made by createque: id_.
class QuelibOnQueue : public Quelib {
 protected:
  void SetUp() override {
    id_ = createque(key(1));
    ASSERT_GE(id_, 0);
  }
  int id_ = -1;
};

TEST_F(QuelibOnQueue, CreatequeMakesQueueOpenToAllThatConnectqueAttachesAndDisconnectqueRemoves) {
  msqid_ds ds{};
  ASSERT_EQ(msgctl(id_, IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.msg_perm.mode & 0777, 0666u);
  EXPECT_EQ(ds.msg_perm.__key, key(1));
  EXPECT_EQ(connectque(key(1)), id_);
  EXPECT_EQ(disconnectque(id_), 0);
  EXPECT_FALSE(qtest::queue_exists(key(1)));
}

TEST_F(Quelib, CreatequeAttachesExistingQueueWithoutRecording) {
  key_t k = key(1);
  int id = msgget(k, IPC_CREAT | 0600);
  ASSERT_GE(id, 0);
  mark_err_code();
  EXPECT_EQ(createque(k), id);
  EXPECT_STREQ(err_code, "00002");
}

// A missing queue, and key 0, which would make a private one.
TEST_F(Quelib, ConnectqueOnMissingQueueRecordsEnoentAndMakesNone) {
  const int private_before = qtest::private_queues();
  for (key_t k : {key(1), IPC_PRIVATE}) {
    memset(err_code, 0, sizeof err_code);
    errno = 0;
    EXPECT_EQ(connectque(k), -1) << k;
    EXPECT_EQ(errno, ENOENT) << k;
    EXPECT_STREQ(err_code, code_of(ENOENT).c_str()) << k;
  }
  EXPECT_FALSE(qtest::queue_exists(key(1)));
  EXPECT_EQ(qtest::private_queues(), private_before);
}

// The bare text with its type, as the kernel carries it; an empty one too,
// which a receive writes nothing of.
TEST_F(QuelibOnQueue, SendqueSendsBareTextAndSizeZeroAnEmptyOne) {
  ASSERT_EQ(sendque(id_, 96, "hello", 5), 0);
  long type = 0;
  EXPECT_EQ(testsupport::raw_take(id_, 0, &type), "hello");
  EXPECT_EQ(type, 96);
  ASSERT_EQ(sendque(id_, 96, "", 0), 0);
  EXPECT_EQ(queued(key(1)), 1);
  char buf[QUE_TEXT_MAX];
  memset(buf, 'X', sizeof buf);
  EXPECT_EQ(recvque(id_, 96, buf), 0);
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(queued(key(1)), 0);
}

TEST_F(QuelibOnQueue, FullSizeTextTravelsWholeWithoutTerminator) {
  std::string text(QUE_TEXT_MAX, 'a');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  ASSERT_EQ(sendque(id_, 96, text.data(), text.size()), 0);
  char buf[QUE_TEXT_MAX + 16];
  memset(buf, 'Z', sizeof buf);
  ASSERT_EQ(recvque(id_, 96, buf), QUE_TEXT_MAX);
  EXPECT_EQ(std::string(buf, QUE_TEXT_MAX), text);
  EXPECT_EQ(buf[QUE_TEXT_MAX], 'Z');
}

// Over capacity, then on a queue that has gone: EINVAL recorded, nothing sent.
TEST_F(QuelibOnQueue, SendqueFailuresAreRecorded) {
  std::string text(QUE_TEXT_MAX + 1, 'a');
  memset(err_code, 0, sizeof err_code);
  EXPECT_EQ(sendque(id_, 96, text.data(), text.size()), -1);
  EXPECT_STREQ(err_code, code_of(EINVAL).c_str());
  EXPECT_EQ(queued(key(1)), 0);
  ASSERT_EQ(msgctl(id_, IPC_RMID, nullptr), 0);
  memset(err_code, 0, sizeof err_code);
  EXPECT_EQ(sendque(id_, 96, "x", 1), -1);
  EXPECT_STREQ(err_code, code_of(EINVAL).c_str());
}

TEST_F(QuelibOnQueue, ReceivesInOrderAndByType) {
  ASSERT_EQ(sendque(id_, 5, "five", 4), 0);
  ASSERT_EQ(sendque(id_, 96, "one", 3), 0);
  ASSERT_EQ(sendque(id_, 96, "two", 3), 0);
  char buf[QUE_TEXT_MAX];
  ASSERT_EQ(recvque(id_, 96, buf), 3);
  EXPECT_EQ(std::string(buf, 3), "one");
  ASSERT_EQ(recvque(id_, 0, buf), 4);
  EXPECT_EQ(std::string(buf, 4), "five");
  ASSERT_EQ(recvque(id_, -100, buf), 3);
  EXPECT_EQ(std::string(buf, 3), "two");
}

TEST_F(QuelibOnQueue, RecvqueHGivesTypeHeaderThenText) {
  ASSERT_EQ(sendque(id_, 96, "abc", 3), 0);
  char buf[sizeof(long) + QUE_TEXT_MAX + 8];
  memset(buf, 'Z', sizeof buf);
  ASSERT_EQ(recvqueH(id_, 96, buf), static_cast<int>(3 + sizeof(long)));
  long type = 0;
  memcpy(&type, buf, sizeof type);
  EXPECT_EQ(type, 96);
  EXPECT_EQ(std::string(buf + sizeof(long), 3), "abc");
  EXPECT_EQ(buf[sizeof(long) + 3], 'Z');
}

// On a queue that has gone: receives fail as they say, and a disconnect
// fails without recording.
TEST_F(QuelibOnQueue, CallsOnARemovedQueue) {
  ASSERT_EQ(msgctl(id_, IPC_RMID, nullptr), 0);
  char buf[sizeof(long) + QUE_TEXT_MAX];
  memset(buf, 'X', sizeof buf);
  EXPECT_EQ(recvque(id_, 96, buf), -1);
  EXPECT_STREQ(err_code, code_of(EINVAL).c_str());
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(recvqueH(id_, 96, buf), -1);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], 'X');
  mark_err_code();
  EXPECT_EQ(disconnectque(id_), -1);
  EXPECT_STREQ(err_code, "00002");
}

TEST_F(QuelibOnQueue, TooLongMessageFailsWithE2bigAndStaysQueued) {
  ASSERT_EQ(raw_send(id_, std::string(QUE_TEXT_MAX + 1, 'b')), 0);
  char buf[QUE_TEXT_MAX];
  memset(buf, 'X', sizeof buf);
  EXPECT_EQ(recvque(id_, 96, buf), -1);
  EXPECT_STREQ(err_code, code_of(E2BIG).c_str());
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(queued(key(1)), 1);
}

// In a child whose err_code is all zero, as at program start, and where a
// signal breaks every wait: an interrupted recvqueH leaves an empty string
// and records nothing; an interrupted recvque leaves the buffer and the
// failure recorded before.
TEST_F(QuelibOnQueue, InterruptedReceivesAreNotRecorded) {
  const int id = id_;
  const auto r = testsupport::run_function([id] {
    memset(err_code, 0, sizeof err_code);
    qtest::interrupt_waits();
    char buf[sizeof(long) + QUE_TEXT_MAX];
    if (recvqueH(id, 96, buf) != -1 || errno != EINTR || err_code[0] != '\0' || buf[0] != '\0') return 1;
    strcpy(err_code, "00002");
    memset(buf, 'X', sizeof buf);
    if (recvque(id, 96, buf) != -1 || errno != EINTR || strcmp(err_code, "00002") != 0 || buf[0] != 'X') return 2;
    return 0;
  });
  EXPECT_EQ(r.exit_code, 0) << "1: recvqueH, 2: recvque";
}

TEST_F(QuelibOnQueue, ReceiverOfRemovedQueueGetsEidrm) {
  pid_t me = static_cast<pid_t>(syscall(SYS_gettid));
  bool seen = false;
  std::thread remover([&] {
    seen = qtest::wait_in_msgrcv(me);
    msgctl(id_, IPC_RMID, nullptr);
  });
  char buf[QUE_TEXT_MAX];
  int ret = recvque(id_, 96, buf);
  remover.join();
  EXPECT_TRUE(seen);
  EXPECT_EQ(ret, -1);
  EXPECT_STREQ(err_code, code_of(EIDRM).c_str());
}

// On a free key, then on its own queue holding messages: an empty queue of
// its own, a new one the second time, and nothing recorded.
TEST_F(Quelib, CreatequeDelMakesAnEmptyQueueReplacingItsOwn) {
  const key_t k = key(1);
  mark_err_code();
  const int made = createque_del(k);
  ASSERT_GE(made, 0);
  ASSERT_TRUE(sendque(made, 96, "stale", 5) == 0 && sendque(made, 96, "stale", 5) == 0);
  const int id = createque_del(k);
  ASSERT_GE(id, 0);
  EXPECT_NE(id, made);
  EXPECT_EQ(msgget(k, 0), id);
  EXPECT_EQ(queued(k), 0);
  EXPECT_STREQ(err_code, "00002");
}

// A queue made by user nobody, with one message on it: its id, or -1.
int make_queue_of_nobody(key_t k) {
  const int made = qtest::as_nobody([k] {
    int id = createque(k);
    return id >= 0 && sendque(id, 96, "kept", 4) == 0 ? 0 : 1;
  });
  return made == 0 ? msgget(k, 0) : -1;
}

// createque_del attaches it as it is; disconnectque fails without recording.
TEST_F(Quelib, QueueOfAnotherUserIsNeitherReplacedNorRemoved) {
  QTEST_NEEDS_NOBODY();
  const key_t k = key(1);
  const int theirs = make_queue_of_nobody(k);
  ASSERT_GE(theirs, 0);
  mark_err_code();
  EXPECT_EQ(createque_del(k), theirs);
  EXPECT_EQ(disconnectque(theirs), -1);
  EXPECT_STREQ(err_code, "00002");
  EXPECT_EQ(msgget(k, 0), theirs);
  char buf[QUE_TEXT_MAX];
  ASSERT_EQ(recvque(theirs, 96, buf), 4);
  EXPECT_EQ(std::string(buf, 4), "kept");
}

TEST_F(Quelib, CreatequeOnQueueClosedToCallerRecordsEacces) {
  QTEST_NEEDS_NOBODY();
  key_t k = key(1);
  ASSERT_GE(msgget(k, IPC_CREAT | 0600), 0);
  int status = qtest::as_nobody([k] { return createque(k) == -1 && strcmp(err_code, "00013") == 0 ? 0 : 1; });
  EXPECT_EQ(status, 0);
}

// quefull against the kernel itself: a probe sent without waiting fails
// (EAGAIN) exactly when quefull said a send would wait; a probe that went is
// taken back. Asked on a queue of 4 bytes (so at most 4 messages) as
// messages of 0, 3, 0 and 0 bytes arrive.
TEST_F(Quelib, QuefullSaysWhatTheKernelDoes) {
  EXPECT_EQ(quefull(key(1), 1), -1);  // no queue
  EXPECT_STREQ(err_code, "00002");
  const int id = testsupport::small_queue(key(1), 4);
  ASSERT_GE(id, 0);
  for (int arriving : {0, 3, 0, 0, -1}) {
    for (size_t size = 0; size <= 5; ++size) {
      const int full = quefull(key(1), size);
      const bool waits = raw_send(id, std::string(size, 'p'), 97, IPC_NOWAIT) != 0;
      EXPECT_TRUE(waits ? errno == EAGAIN : testsupport::raw_take(id, 97).has_value());
      EXPECT_EQ(full, waits ? 1 : 0) << "size " << size << " with " << queued(key(1)) << " queued";
    }
    ASSERT_TRUE(arriving < 0 || raw_send(id, std::string(static_cast<size_t>(arriving), 'x'), 96, IPC_NOWAIT) == 0);
  }
}

}  // namespace
