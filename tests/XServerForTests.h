// A private X server for a test process: Xvfb on a free display with the
// openbox window manager on it, started and stopped by the test itself.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace xtest {

class XServer {
 public:
  // Starts both; afterwards Error() tells what failed (empty when running).
  XServer() {
    for (int display = 90; display < 140 && m_display < 0; ++display) {
      if (Exists("/tmp/.X11-unix/X" + std::to_string(display)) || Exists("/tmp/.X" + std::to_string(display) + "-lock"))
        continue;
      const std::string name = ":" + std::to_string(display);
      m_server = Spawn({"Xvfb", name, "-screen", "0", "1920x1200x24", "-nolisten", "tcp", "-noreset"}, "");
      if (m_server <= 0) {
        m_error = "Xvfb cannot be started (is the xvfb package installed?)";
        return;
      }
      if (WaitFor([&] { return Exists("/tmp/.X11-unix/X" + std::to_string(display)); }, m_server)) {
        m_display = display;
      } else {
        Stop(m_server);  // another server took the display meanwhile
      }
    }
    if (m_display < 0) {
      m_error = "no X server could be started on displays :90 to :139";
      return;
    }
    m_wm = Spawn({"openbox", "--sm-disable"}, DisplayName());
    if (m_wm <= 0 || !WaitFor([&] { return WindowManagerRunning(); }, m_wm)) {
      m_wmError = "the openbox window manager did not start on " + DisplayName() + " (is openbox installed?)";
    }
  }
  ~XServer() {
    Stop(m_wm);
    Stop(m_server);
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& Error() const { return m_error; }
  const std::string& WindowManagerError() const { return m_wmError; }
  std::string DisplayName() const { return ":" + std::to_string(m_display); }

 private:
  static bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }
  static pid_t Spawn(const std::vector<std::string>& args, const std::string& display) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("DISPLAY=", 0) != 0) env.emplace_back(*e);
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Their chatter stays out of the test output.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }
  // Polls for up to ten seconds; false when the child died or time ran out.
  template <class Ready>
  static bool WaitFor(Ready ready, pid_t child) {
    for (int i = 0; i < 200; ++i) {
      if (ready()) return true;
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool WindowManagerRunning() const {
    const std::string command = "DISPLAY=" + DisplayName() + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return false;
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, out) != nullptr;
    pclose(out);
    return got && std::string(line).find("window id") != std::string::npos;
  }
  static void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    pid = 0;
  }

  int m_display = -1;
  pid_t m_server = 0;
  pid_t m_wm = 0;
  std::string m_error;
  std::string m_wmError;
};

}  // namespace xtest
