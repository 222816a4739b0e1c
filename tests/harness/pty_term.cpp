#include "pty_term.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

extern char** environ;

namespace ptyterm {

namespace {

using Clock = std::chrono::steady_clock;

int ms_since(Clock::time_point t) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Built before fork so the child only calls async-signal-safe functions.
std::vector<std::string> child_environment(const Options& o) {
  std::map<std::string, std::optional<std::string>> vars;
  for (char** e = environ; *e; ++e) {
    std::string kv = *e;
    auto eq = kv.find('=');
    if (eq != std::string::npos) vars[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  vars["TERM"] = o.term;
  vars["LC_ALL"] = o.locale;
  vars["LANG"] = o.locale;
  // A stale size in the environment would override the pty's.
  vars.erase("COLUMNS");
  vars.erase("LINES");
  for (const auto& [name, value] : o.env) vars[name] = value;
  std::vector<std::string> out;
  for (const auto& [name, value] : vars)
    if (value) out.push_back(name + "=" + *value);
  return out;
}

void set_nonblock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

struct Terminal::Impl {
  Options opt;
  pid_t pid = -1;
  int master = -1;
  int out_fd = -1;  // read end of the stdout pipe
  int in_fd = -1;   // write end of the stdin pipe
  std::string stdin_left;
  size_t stdin_off = 0;
  std::string to_master;  // keys and libvterm's replies, in order

  bool exited = false;
  int status = 0;

  std::string tty;
  std::string out;

  VTerm* vt = nullptr;
  VTermScreen* vscreen = nullptr;
  bool alt = false;

  static int on_termprop(VTermProp prop, VTermValue* val, void* user) {
    auto* self = static_cast<Impl*>(user);
    if (prop == VTERM_PROP_ALTSCREEN) self->alt = val->boolean;
    return 1;
  }

  static void on_output(const char* s, size_t len, void* user) {
    static_cast<Impl*>(user)->to_master.append(s, len);
  }

  VTermScreenCallbacks callbacks{};

  void start_vterm() {
    vt = vterm_new(opt.rows, opt.cols);
    vterm_set_utf8(vt, 1);
    vterm_output_set_callback(vt, &Impl::on_output, this);
    vscreen = vterm_obtain_screen(vt);
    vterm_screen_enable_altscreen(vscreen, 1);
    callbacks.settermprop = &Impl::on_termprop;
    vterm_screen_set_callbacks(vscreen, &callbacks, this);
    vterm_screen_reset(vscreen, 1);
  }

  void start_child() {
    int out_pipe[2] = {-1, -1};
    int in_pipe[2] = {-1, -1};
    if (opt.stdout_to_pipe && pipe2(out_pipe, O_CLOEXEC) != 0) {
      perror("ptyterm: pipe");
      return;
    }
    if (opt.stdin_data && pipe2(in_pipe, O_CLOEXEC) != 0) {
      perror("ptyterm: pipe");
      return;
    }
    std::vector<std::string> env = child_environment(opt);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (auto& a : opt.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(opt.rows);
    ws.ws_col = static_cast<unsigned short>(opt.cols);
    pid = forkpty(&master, nullptr, nullptr, &ws);
    if (pid < 0) {
      perror("ptyterm: forkpty");
      return;
    }
    if (pid == 0) {
      // The test process may ignore or block signals; the program must not inherit that.
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      for (int s = 1; s < NSIG; ++s) ::signal(s, SIG_DFL);
      if (!opt.controlling_terminal) {
        // Letting go of it hangs up our own process group: ignore that once.
        ::signal(SIGHUP, SIG_IGN);
        ioctl(0, TIOCNOTTY);
        ::signal(SIGHUP, SIG_DFL);
      }
      if (out_pipe[1] >= 0) dup2(out_pipe[1], 1);
      if (in_pipe[0] >= 0) dup2(in_pipe[0], 0);
      if (opt.stdin_fd >= 0) dup2(opt.stdin_fd, 0);
      close_range(3, ~0U, 0);
      if (argv[0]) execve(argv[0], argv.data(), envp.data());
      static const char msg[] = "ptyterm: exec failed\r\n";
      if (write(2, msg, sizeof msg - 1) < 0) _exit(127);
      _exit(127);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    set_nonblock(master);
    if (out_pipe[0] >= 0) {
      close(out_pipe[1]);
      out_fd = out_pipe[0];
      set_nonblock(out_fd);
    }
    if (in_pipe[0] >= 0) {
      close(in_pipe[0]);
      in_fd = in_pipe[1];
      set_nonblock(in_fd);
      stdin_left = *opt.stdin_data;
      if (stdin_left.empty()) {
        close(in_fd);
        in_fd = -1;
      }
    }
  }

  void reap() {
    if (exited || pid <= 0) return;
    int st = 0;
    pid_t r = waitpid(pid, &st, WNOHANG);
    if (r == pid) {
      exited = true;
      status = st;
    }
  }

  bool eof_master = false;

  // One round of I/O: waits up to wait_ms for something to happen.
  // Returns true when output arrived from the program.
  bool pump(int wait_ms) {
    pollfd fds[3];
    int n = 0;
    int mi = -1, oi = -1, ii = -1;
    if (master >= 0 && !eof_master) {
      mi = n;
      fds[n++] = {master, static_cast<short>(POLLIN | (to_master.empty() ? 0 : POLLOUT)), 0};
    }
    if (out_fd >= 0) {
      oi = n;
      fds[n++] = {out_fd, POLLIN, 0};
    }
    if (in_fd >= 0) {
      ii = n;
      fds[n++] = {in_fd, POLLOUT, 0};
    }
    int r = poll(fds, n, wait_ms);
    if (r <= 0) return false;
    bool got = false;
    char buf[4096];
    if (mi >= 0 && fds[mi].revents) {
      if (fds[mi].revents & (POLLIN | POLLHUP | POLLERR)) {
        ssize_t k = read(master, buf, sizeof buf);
        if (k > 0) {
          tty.append(buf, static_cast<size_t>(k));
          vterm_input_write(vt, buf, static_cast<size_t>(k));
          got = true;
        } else if (k < 0 && (errno == EAGAIN || errno == EINTR)) {
          // nothing yet
        } else {
          eof_master = true;  // EIO: no process has the terminal open any more
        }
      }
      if ((fds[mi].revents & POLLOUT) && !to_master.empty()) {
        ssize_t k = write(master, to_master.data(), to_master.size());
        if (k > 0) to_master.erase(0, static_cast<size_t>(k));
      }
    }
    if (oi >= 0 && fds[oi].revents) {
      ssize_t k = read(out_fd, buf, sizeof buf);
      if (k > 0) {
        out.append(buf, static_cast<size_t>(k));
        got = true;
      } else if (k == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(out_fd);
        out_fd = -1;
      }
    }
    if (ii >= 0 && fds[ii].revents) {
      if (fds[ii].revents & POLLOUT) {
        ssize_t k = write(in_fd, stdin_left.data() + stdin_off, stdin_left.size() - stdin_off);
        if (k > 0) stdin_off += static_cast<size_t>(k);
      }
      if (stdin_off >= stdin_left.size() || (fds[ii].revents & (POLLERR | POLLHUP))) {
        close(in_fd);
        in_fd = -1;
      }
    }
    return got;
  }

  // After the exit everything the program wrote is already buffered, so read
  // until end of file; a leftover process still holding the terminal or the
  // pipe open is cut off after a short silence.
  void drain(Clock::time_point deadline) {
    if (in_fd >= 0) {
      close(in_fd);
      in_fd = -1;
    }
    auto last = Clock::now();
    while ((!eof_master || out_fd >= 0) && Clock::now() < deadline && ms_since(last) < 200)
      if (pump(20)) last = Clock::now();
  }
};

Options program_options(const std::string& program, const std::vector<std::string>& args, int rows, int cols) {
  Options o;
  o.argv = {program};
  o.argv.insert(o.argv.end(), args.begin(), args.end());
  o.rows = rows;
  o.cols = cols;
  return o;
}

Terminal::Terminal(const Options& options) : impl_(std::make_unique<Impl>()) {
  impl_->opt = options;
  if (impl_->opt.rows < 1) impl_->opt.rows = 1;
  if (impl_->opt.cols < 1) impl_->opt.cols = 1;
  impl_->start_vterm();
  impl_->start_child();
}

Terminal::~Terminal() {
  Impl& m = *impl_;
  if (m.pid > 0 && !m.exited) {
    // The program leads its own session: take its children with it.
    kill(-m.pid, SIGKILL);
    kill(m.pid, SIGKILL);
    int st = 0;
    while (waitpid(m.pid, &st, 0) < 0 && errno == EINTR) {
    }
  }
  if (m.master >= 0) close(m.master);
  if (m.out_fd >= 0) close(m.out_fd);
  if (m.in_fd >= 0) close(m.in_fd);
  if (m.vt) vterm_free(m.vt);
}

void Terminal::send(std::string_view bytes) {
  Impl& m = *impl_;
  if (m.master < 0 || m.eof_master) return;
  m.to_master.append(bytes);
  // Keep reading while writing: a program blocked on its own output would
  // otherwise never read our input.
  auto start = Clock::now();
  while (!m.to_master.empty() && ms_since(start) < 5000) {
    m.pump(10);
    m.reap();
    if (m.exited) break;
  }
  if (!m.to_master.empty() && !m.exited)
    std::fprintf(stderr, "ptyterm: send: %zu bytes not accepted by the terminal\n", m.to_master.size());
}

bool Terminal::wait_quiet(int quiet_ms, int timeout_ms) {
  Impl& m = *impl_;
  auto start = Clock::now();
  auto deadline = start + std::chrono::milliseconds(timeout_ms);
  auto last = Clock::now();
  for (;;) {
    m.reap();
    if (m.exited) {
      m.drain(deadline + std::chrono::milliseconds(1000));
      return true;
    }
    if (m.pump(10)) last = Clock::now();
    if (ms_since(last) >= quiet_ms && m.to_master.empty()) return true;
    if (Clock::now() >= deadline) return false;
  }
}

bool Terminal::wait_exit(int timeout_ms) {
  Impl& m = *impl_;
  if (m.pid <= 0) return false;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    m.reap();
    if (m.exited) {
      m.drain(deadline + std::chrono::milliseconds(1000));
      return true;
    }
    if (Clock::now() >= deadline) return false;
    m.pump(10);
  }
}

bool Terminal::wait_until(const std::function<bool()>& done, int timeout_ms) {
  Impl& m = *impl_;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    m.reap();
    if (m.exited) {
      m.drain(deadline + std::chrono::milliseconds(1000));
      return done();
    }
    if (Clock::now() >= deadline) return false;
    m.pump(10);
  }
  return true;
}

bool Terminal::wait_text(std::string_view text, int timeout_ms) {
  return wait_until(
      [&] {
        for (int r = 0; r < rows(); ++r)
          if (row_text(r).find(text) != std::string::npos) return true;
        return false;
      },
      timeout_ms);
}

void Terminal::resize(int rows, int cols) {
  Impl& m = *impl_;
  // What was written at the old size is decoded at the old size.
  while (m.pump(0)) {
  }
  m.opt.rows = rows;
  m.opt.cols = cols;
  vterm_set_size(m.vt, rows, cols);
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(cols);
  if (m.master >= 0) ioctl(m.master, TIOCSWINSZ, &ws);  // the kernel sends SIGWINCH
}

void Terminal::signal(int sig) {
  if (impl_->pid > 0 && !impl_->exited) kill(impl_->pid, sig);
}

void Terminal::hang_up() {
  if (impl_->master >= 0) close(impl_->master);
  impl_->master = -1;
  impl_->eof_master = true;
}

bool Terminal::exited() const {
  impl_->reap();
  return impl_->exited;
}

int Terminal::exit_code() const {
  if (!impl_->exited || !WIFEXITED(impl_->status)) return -1;
  return WEXITSTATUS(impl_->status);
}

int Terminal::term_signal() const {
  if (!impl_->exited || !WIFSIGNALED(impl_->status)) return 0;
  return WTERMSIG(impl_->status);
}

pid_t Terminal::pid() const { return impl_->pid; }

const std::string& Terminal::captured_stdout() const { return impl_->out; }
size_t Terminal::tty_bytes() const { return impl_->tty.size(); }
const std::string& Terminal::tty_output() const { return impl_->tty; }

int Terminal::rows() const { return impl_->opt.rows; }
int Terminal::cols() const { return impl_->opt.cols; }

Cell Terminal::cell(int row, int col) const {
  Cell c;
  if (row < 0 || row >= rows() || col < 0 || col >= cols()) return c;
  VTermScreenCell vc{};
  vterm_screen_get_cell(impl_->vscreen, VTermPos{row, col}, &vc);
  c.reverse = vc.attrs.reverse;
  c.width = vc.width == 2 ? 2 : 1;
  if (vc.chars[0] == static_cast<uint32_t>(-1)) return c;  // right half of a wide char
  if (vc.chars[0] == 0) {
    c.text = " ";
    return c;
  }
  for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && vc.chars[i]; ++i) append_utf8(c.text, vc.chars[i]);
  return c;
}

bool Terminal::reverse(int row, int col) const { return cell(row, col).reverse; }

std::string Terminal::text(int row, int col, int len) const {
  std::string s;
  for (int c = col; c < col + len; ++c) s += cell(row, c).text;
  return s;
}

std::string Terminal::picture(int row, int col, int rows, int cols) const {
  std::string out;
  for (int r = row; r < row + rows; ++r) out += text(r, col, cols) + "\n";
  return out;
}

std::string Terminal::video(int row, int col, int rows, int cols) const {
  std::string out;
  for (int r = row; r < row + rows; ++r) {
    for (int c = col; c < col + cols; ++c) out += reverse(r, c) ? '#' : '.';
    out += '\n';
  }
  return out;
}

std::string Terminal::row_text(int row) const {
  std::string s = text(row, 0, cols());
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string Terminal::screen() const {
  std::string s = "screen " + std::to_string(rows()) + "x" + std::to_string(cols()) + ", cursor at row " +
                  std::to_string(cursor_row()) + " col " + std::to_string(cursor_col()) +
                  (alt_screen() ? ", alternate screen" : ", normal screen") + "; '#' under reverse cells\n";
  char num[16];
  for (int r = 0; r < rows(); ++r) {
    std::snprintf(num, sizeof num, "%3d|", r);
    s += num;
    std::string line, marks;
    bool any = false;
    for (int c = 0; c < cols(); ++c) {
      Cell cl = cell(r, c);
      line += cl.text;
      marks += cl.reverse ? '#' : ' ';
      any = any || cl.reverse;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    s += line + "\n";
    if (any) {
      while (!marks.empty() && marks.back() == ' ') marks.pop_back();
      s += "   |" + marks + "\n";
    }
  }
  return s;
}

int Terminal::cursor_row() const {
  VTermPos pos;
  vterm_state_get_cursorpos(vterm_obtain_state(impl_->vt), &pos);
  return pos.row;
}

int Terminal::cursor_col() const {
  VTermPos pos;
  vterm_state_get_cursorpos(vterm_obtain_state(impl_->vt), &pos);
  return pos.col;
}

bool Terminal::alt_screen() const { return impl_->alt; }

termios Terminal::modes() const {
  termios t{};
  // On Linux the master reports the pair's modes, and keeps them after the slave closes.
  if (impl_->master >= 0) tcgetattr(impl_->master, &t);
  return t;
}

void Terminal::set_modes(const termios& t) {
  if (impl_->master >= 0) tcsetattr(impl_->master, TCSANOW, &t);
}

const std::vector<UnusableTerminal>& unusable_terminals() {
  static const std::vector<UnusableTerminal> all = {
      {"no-such-terminal", "no usable terminal description for TERM=no-such-terminal"},
      {"dumb", "the terminal TERM=dumb cannot place the cursor"},
      {std::nullopt, "TERM is not set, so the terminal's type is unknown"}};
  return all;
}

void set_term(Options& o, const std::optional<std::string>& term) {
  if (term) {
    o.term = *term;
  } else {
    o.env["TERM"] = std::nullopt;
  }
}

std::string mode_faults(const termios& m) {
  std::string faults;
  if (!(m.c_lflag & ICANON)) faults += " -icanon";
  if (!(m.c_lflag & ECHO)) faults += " -echo";
  if (!(m.c_lflag & ISIG)) faults += " -isig";
  if (!(m.c_iflag & ICRNL)) faults += " -icrnl";
  if (!(m.c_iflag & IXON)) faults += " -ixon";  // the windows clear it while they run
  if (!(m.c_oflag & ONLCR)) faults += " -onlcr";
  return faults;
}

std::string faults_under_random_signals(Options o, int runs, unsigned seed) {
  std::mt19937 rng(seed);
  const std::string first_term = o.term;
  std::string faults;
  for (int run = 0; run < runs; ++run) {
    const int sig = run % 2 ? SIGINT : SIGTERM;
    o.term = run % 4 >= 2 ? "linux" : first_term;
    Terminal t(o);
    usleep(static_cast<useconds_t>(rng() % 12000));
    t.signal(sig);
    std::string why;
    if (!t.wait_exit()) why += " still running;";
    if (t.term_signal() != sig) why += " exit " + std::to_string(t.exit_code()) + ", not by its signal;";
    if (!t.captured_stdout().empty()) why += " wrote " + t.captured_stdout() + ";";
    if (t.alt_screen()) why += " left the alternate screen on;";
    why += mode_faults(t.modes());
    if (!shown_rows(t).empty()) why += " left on the screen:\n" + shown_rows(t);
    if (!why.empty()) faults += "run " + std::to_string(run) + " (" + o.term + "):" + why + "\n";
  }
  return faults;
}

Options in_shell(Options o, const std::string& script, const std::string& shell) {
  o.argv = {shell, "-c", script, o.argv.at(0)};
  return o;
}

std::string shown_rows(const Terminal& t) {
  std::string out;
  for (int row = 0; row < t.rows(); ++row) {
    const std::string text = t.row_text(row);
    if (!text.empty()) out += std::to_string(row) + ": " + text + "\n";
  }
  return out;
}

std::string padded(const std::string& s, std::size_t width) {
  return s + std::string(width > s.size() ? width - s.size() : 0, ' ');
}

}  // namespace ptyterm
