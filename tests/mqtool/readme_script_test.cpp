// The README's smallest script, run as its reader would: in a terminal, with
// the programs on PATH, while an answer of some earlier run waits on the
// default key.
#include <sys/msg.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "proc.h"
#include "pty_term.h"
#include "qtest.h"

namespace {

const key_t kDefaultKey = 30001;

// The first sh block under the heading, as the README shows it.
std::string readme_script(const std::string& heading) {
  std::ifstream f(std::string(JUX_SOURCE_DIR) + "/README.md");
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string text = ss.str();
  size_t at = text.find("\n## " + heading + "\n");
  if (at == std::string::npos) return "";
  const std::string open = "```sh\n";
  size_t begin = text.find(open, at);
  size_t end = begin == std::string::npos ? begin : text.find("\n```\n", begin);
  if (end == std::string::npos) return "";
  return text.substr(begin + open.size(), end + 1 - begin - open.size());
}

// A variable of a running process's environment, or "".
std::string environ_of(pid_t pid, const std::string& name) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  for (std::string entry; std::getline(f, entry, '\0');)
    if (entry.compare(0, name.size() + 1, name + "=") == 0) return entry.substr(name.size() + 1);
  return "";
}

// Each run chooses its row of the list; it must show its own choice, from a
// queue of its own, and leave the stale answer on the default key alone. In
// 20 more runs the terminal is closed while the list shows, as the closing
// races the script's end. After each, within a second, the queue is gone and
// no process of the script's session runs.
TEST(ReadmeScript, EachRunGetsItsOwnAnswerPastAStaleOneAndLeavesNothing) {
  const std::string script = readme_script("The smallest script");
  ASSERT_NE(script.find("mqtool -n"), std::string::npos) << script;
  if (qtest::queued(kDefaultKey) > 0) GTEST_SKIP() << "queue 30001 holds messages of someone else's; left alone";
  // The default key's queue goes again after the test if the test made it.
  qtest::RemovedAfter cleanup(qtest::queue_exists(kDefaultKey) ? std::vector<key_t>{} : std::vector<key_t>{kDefaultKey});
  ASSERT_EQ(testsupport::run_process({testsupport::bin_path("mqtool"), "-s", "30001", "stale", "Fruit"}).exit_code, 0);

  struct Row {
    const char* keys;
    const char* shown;
  };
  std::vector<Row> rows = {{"j\r", "You chose Banana"}, {"jj\r", "You chose Cherry"}};
  rows.insert(rows.end(), 20, Row{nullptr, nullptr});
  for (const Row& r : rows) {
    ptyterm::Options o;
    o.argv = {"/bin/sh", "-c", script};
    o.env["PATH"] = testsupport::bin_dir() + ":" + std::getenv("PATH");
    o.env["JUX_QUEID"] = std::nullopt;
    ptyterm::Terminal t(o);
    ASSERT_TRUE(t.wait_text("Fruit", 10000)) << t.screen();
    t.wait_quiet();
    const pid_t pickbox = qtest::find_process({"pickbox", "Apple", "Banana", "Cherry", "Fruit"}, t.pid());
    const std::string own = environ_of(pickbox, "JUX_QUEID");
    ASSERT_FALSE(own.empty()) << "pickbox " << pickbox << " has no JUX_QUEID";
    const key_t key = static_cast<key_t>(std::stol(own));
    qtest::RemovedAfter removed({key});
    msqid_ds ds{};
    ASSERT_EQ(msgctl(msgget(key, 0), IPC_STAT, &ds), 0) << own;
    EXPECT_EQ(ds.msg_perm.mode & 0777, 0600u);
    if (r.keys) {
      t.send(r.keys);
      EXPECT_TRUE(t.wait_exit(10000)) << t.screen();
      EXPECT_EQ(t.exit_code(), 0) << t.screen();
      EXPECT_TRUE(t.wait_text(r.shown, 2000)) << t.screen();
    } else {
      t.hang_up();
      EXPECT_TRUE(t.wait_exit(1000));
    }
    EXPECT_TRUE(qtest::within(1000, [&] { return !qtest::queue_exists(key) && qtest::running_in_session(t.pid()) == 0; }))
        << "queue " << key << " or " << qtest::running_in_session(t.pid()) << " processes left";
  }
  testsupport::ProcOptions briefly;
  briefly.timeout_ms = 2000;
  EXPECT_EQ(testsupport::run_process({testsupport::bin_path("mqtool"), "-r", "30001"}, briefly).out, "stale\n");
}

}  // namespace
