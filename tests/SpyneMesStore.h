// The storing spyne MES (tests/peers/spyne_mes_store.py, run with
// /usr/bin/python3) as a child process on a chosen loopback port, so a test
// can have the MES down (not started, or stopped) and up again at one URL.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/LoopbackListener.h"

extern char** environ;

namespace results_test {

using testsupport::FreeLoopbackPort;

class SpyneMesStore {
 public:
  SpyneMesStore(int port, std::string logFile) : m_port(port), m_log(std::move(logFile)) {}
  ~SpyneMesStore() { Stop(); }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/querysn/cs_querysn.asmx"; }

  // True once the server listens.
  bool Start() {
    const char* root = std::getenv("MONITOR_SOURCE_DIR");
    std::string script = std::string(root ? root : ".") + "/tests/peers/spyne_mes_store.py";
    std::string python = "/usr/bin/python3", port = std::to_string(m_port);
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    char* argv[] = {python.data(), script.data(), port.data(), m_log.data(), nullptr};
    if (posix_spawn(&m_pid, argv[0], &fa, nullptr, argv, environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (m_pid > 0 && line.find('\n') == std::string::npos && poll(&p, 1, 30000) > 0) {
      char buf[64];
      const ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<std::size_t>(n));
    }
    close(out[0]);
    return line.rfind("PORT ", 0) == 0;
  }

  void Stop() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
      m_pid = -1;
    }
  }

  // SerialNumber of every stored call, in arrival order.
  std::vector<std::string> StoredSerials() const {
    std::vector<std::string> serials;
    std::ifstream in(m_log);
    const std::string key = "\"SerialNumber\": \"";
    for (std::string line; std::getline(in, line);) {
      const std::size_t at = line.find(key);
      if (at != std::string::npos) {
        serials.push_back(line.substr(at + key.size(), line.find('"', at + key.size()) - at - key.size()));
      }
    }
    return serials;
  }

 private:
  int m_port;
  std::string m_log;
  pid_t m_pid = -1;
};

}  // namespace results_test
