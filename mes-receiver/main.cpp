// mes-receiver: a MES endpoint for IO_UpData_Common that validates every call
// and stores the accepted ones in SQLite.
//
//   mes-receiver serve [--db FILE] [--host ADDR] [--port N]
//   mes-receiver list  [--db FILE] [--json]
//
// serve prints "listening <endpoint URL>" once it accepts calls, and stops on
// SIGTERM or SIGINT.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "mes-receiver/ReceiverServer.h"
#include "mes-receiver/ServiceDescription.h"
#include "mes-receiver/UploadStore.h"

namespace {

constexpr char kUsage[] =
    "usage: mes-receiver serve [--db FILE] [--host ADDR] [--port N]\n"
    "       mes-receiver list [--db FILE] [--json]\n";

struct Options {
  std::string command;
  std::string db = "mes-receiver.sqlite";
  std::string host = "127.0.0.1";
  int port = 0;
  bool json = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "mes-receiver: %s\n", message.c_str());
  return 2;
}

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::stoi(text);
  return port <= 65535;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s += digits[c >> 4];
    s += digits[c & 0xF];
  }
  return s;
}

int Serve(const Options& o) {
  // Whoever started us may stop reading our output; that must not end us.
  signal(SIGPIPE, SIG_IGN);
  // Signals are taken by one thread with sigwait, so the server can be
  // stopped from ordinary code; every thread started later inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  receiver::UploadStore store(o.db);
  receiver::ReceiverServer server(store);
  std::string error;
  const int port = server.Bind(o.host, o.port, error);
  if (port < 0) {
    return Fail(error + ": stop the program that uses it, or choose another port with --port (0 picks a free one)");
  }
  std::printf("listening http://%s:%d%s\n", o.host.c_str(), port, std::string(receiver::kServicePath).c_str());
  std::printf("database %s\n", o.db.c_str());
  std::fflush(stdout);
  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stopSignals, &sig);
    server.Stop();
  });
  server.Run();
  // Run also returns when the listening socket fails; wake the stopper then.
  kill(getpid(), SIGTERM);
  stopper.join();
  return 0;
}

int List(const Options& o) {
  if (access(o.db.c_str(), R_OK) != 0)
    return Fail("no database at " + o.db + ": give the file the receiver stored into with --db");
  receiver::UploadStore store(o.db, true);
  const std::vector<receiver::StoredUpload> rows = store.All();
  if (o.json) {
    nlohmann::json all = nlohmann::json::array();
    for (const auto& row : rows) {
      nlohmann::json j;
      j["id"] = row.nId;
      j["received_at"] = row.strReceivedAt;
      for (std::size_t i = 0; i < receiver::kFieldNames.size(); ++i) {
        const char* name = receiver::kFieldNames[i];
        if (i == receiver::kSystemTypeField)
          j[name] = row.call.nSystemType;
        else if (!row.call.values[i])
          j[name] = nullptr;
        else if (receiver::IsBlobField(i))
          j[name] = Hex(*row.call.values[i]);  // bytes as hex
        else
          j[name] = *row.call.values[i];
      }
      j["raw_request_bytes"] = row.strRawRequest.size();
      all.push_back(std::move(j));
    }
    // Texts came from validated XML, so they are UTF-8; replace rather than throw regardless.
    std::printf("%s\n", all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    return 0;
  }
  std::printf("%-5s %-19s %-20s %-6s %-24s %-16s %s\n", "id", "received", "SerialNumber", "Deal", "BugType",
              "WorkStation", "Version");
  auto text = [](const receiver::OptionalText& v) { return v ? *v : std::string("(nil)"); };
  for (const auto& row : rows) {
    std::printf("%-5lld %-19s %-20s %-6s %-24s %-16s %s\n", static_cast<long long>(row.nId), row.strReceivedAt.c_str(),
                text(row.call.values[1]).c_str(), text(row.call.values[4]).c_str(), text(row.call.values[5]).c_str(),
                text(row.call.values[10]).c_str(), text(row.call.values[14]).c_str());
  }
  std::printf("%zu call(s) stored in %s\n", rows.size(), o.db.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || (args[0] != "serve" && args[0] != "list")) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  o.command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--db" && value(o.db)) continue;
    if (a == "--host" && o.command == "serve" && value(o.host)) continue;
    if (a == "--port" && o.command == "serve" && value(v)) {
      if (!ParsePort(v, o.port)) return Fail("--port " + v + " is not a port number: give 0 to 65535");
      continue;
    }
    if (a == "--json" && o.command == "list") {
      o.json = true;
      continue;
    }
    std::fputs(kUsage, stderr);
    return Fail("unknown or incomplete option " + a);
  }
  try {
    return o.command == "serve" ? Serve(o) : List(o);
  } catch (const std::exception& e) {
    return Fail(std::string(e.what()) + ": check the path given with --db and its folder's permissions");
  }
}
