// User nobody for the tests that need a process without privileges: its
// ids, and a copy of a program it may run.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

inline bool nobody_ids(uid_t& uid, gid_t& gid) {
  const passwd* pw = getpwnam("nobody");
  if (!pw) return false;
  uid = pw->pw_uid;
  gid = pw->pw_gid;
  return true;
}

// A copy of a program in a folder open to all, for user nobody to run: the
// build tree may sit in one closed to others (a clone in a mktemp -d folder).
class OpenCopy {
 public:
  explicit OpenCopy(const std::string& program) {
    char tmpl[] = "/tmp/jux-open-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    namespace fs = std::filesystem;
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    path_ = dir_ + "/" + fs::path(program).filename().string();
    std::error_code ec;
    if (!fs::copy_file(program, path_, ec)) path_ = program;
  }
  ~OpenCopy() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  OpenCopy(const OpenCopy&) = delete;
  OpenCopy& operator=(const OpenCopy&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string dir_, path_;
};

// The argv that runs argv as user nobody (through setpriv).
inline std::vector<std::string> nobody_argv(const std::vector<std::string>& argv) {
  std::vector<std::string> full = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  full.insert(full.end(), argv.begin(), argv.end());
  return full;
}

}  // namespace testsupport
