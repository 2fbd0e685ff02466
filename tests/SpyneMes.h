// The spyne MES (tests/peers/spyne_mes_server.py, run with /usr/bin/python3)
// as a child process on a loopback port: it answers each call with the values
// it decoded.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

extern char** environ;

namespace testsupport {

class SpyneMes {
 public:
  SpyneMes() = default;
  ~SpyneMes() { Stop(); }
  SpyneMes(const SpyneMes&) = delete;
  SpyneMes& operator=(const SpyneMes&) = delete;

  int Port() const { return m_port; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/querysn/cs_querysn.asmx"; }

  // True once the server listens (spyne takes a moment to import).
  bool Start() {
    const char* root = std::getenv("MONITOR_SOURCE_DIR");
    std::string script = std::string(root ? root : ".") + "/tests/peers/spyne_mes_server.py";
    std::string python = "/usr/bin/python3", port = std::to_string(m_port);
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    char* argv[] = {python.data(), script.data(), port.data(), nullptr};
    if (posix_spawn(&m_pid, argv[0], &fa, nullptr, argv, environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    char buf[64];
    for (ssize_t n; m_pid > 0 && line.find('\n') == std::string::npos && poll(&p, 1, 30000) > 0 &&
                    (n = read(out[0], buf, sizeof buf)) > 0;)
      line.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    if (line.rfind("PORT ", 0) != 0) return false;
    m_port = std::atoi(line.c_str() + 5);
    return true;
  }

  void Stop() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
  }

 private:
  int m_port = 0;  // the system picks one
  pid_t m_pid = -1;
};

}  // namespace testsupport
