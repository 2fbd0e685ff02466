#include "tools/mes-outbox/MesOutboxCommand.h"

#include <iconv.h>

#include <charconv>
#include <ctime>
#include <optional>

#include "results/MesOutboxStore.h"

using results::MesOutboxReport;
using results::MesOutboxState;
using results::MesOutboxStateName;
using results::MesOutboxStore;

namespace {

constexpr const char* kUsage =
    "usage: mes-outbox list  OUTBOX [pending|refused|delivered|dropped|all]\n"
    "       mes-outbox retry OUTBOX ID\n"
    "       mes-outbox drop  OUTBOX ID\n"
    "       mes-outbox prune OUTBOX DAYS\n";

// The station's texts are GBK; the terminal reads UTF-8.
std::string GbkToUtf8(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
  std::string out(gbk.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  std::size_t inLeft = gbk.size();
  char* dst = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0 && iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
    if (outLeft < 4) break;
    *dst++ = '?';  // an invalid byte
    --outLeft;
    ++in;
    --inLeft;
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string LocalTime(std::time_t when) {
  if (when == 0) return "-";
  std::tm local{};
  localtime_r(&when, &local);
  char buf[32];
  return std::string(buf, std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local));
}

std::optional<std::int64_t> Number(const std::string& text) {
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 0) return std::nullopt;
  return n;
}

// False for an unknown name; "all" leaves *pState empty.
bool StateFilter(const std::string& name, std::optional<MesOutboxState>* pState) {
  pState->reset();
  if (name == "all") return true;
  for (MesOutboxState s :
       {MesOutboxState::Pending, MesOutboxState::Refused, MesOutboxState::Delivered, MesOutboxState::Dropped}) {
    if (name == MesOutboxStateName(s)) {
      *pState = s;
      return true;
    }
  }
  return false;
}

void Print(const MesOutboxReport& r, std::ostream& out) {
  out << r.nId << '\t' << MesOutboxStateName(r.state) << '\t' << LocalTime(r.tCreated) << '\t'
      << GbkToUtf8(r.values.strSerialNumber) << '\t' << GbkToUtf8(r.values.strDealResult) << '\t' << r.nAttempts << '\t'
      << LocalTime(r.tLastAttempt) << '\t' << r.strEndpoint << '\t' << r.strReason << '\n';
}

int List(MesOutboxStore& store, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<MesOutboxReport> reports;
  if (args.size() == 2) {
    reports = store.List(MesOutboxState::Pending);
    std::vector<MesOutboxReport> refused = store.List(MesOutboxState::Refused);
    reports.insert(reports.end(), refused.begin(), refused.end());
  } else {
    std::optional<MesOutboxState> filter;
    if (!StateFilter(args[2], &filter)) {
      err << "mes-outbox: unknown state '" << args[2] << "'\n" << kUsage;
      return 2;
    }
    reports = store.List(filter);
  }
  out << "id\tstate\tcreated\tserial\tresult\tattempts\tlast attempt\tendpoint\treason\n";
  for (const MesOutboxReport& r : reports) Print(r, out);
  return 0;
}

}  // namespace

int RunMesOutboxCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) {
    err << kUsage;
    return 2;
  }
  const std::string& command = args[0];
  const bool listing = command == "list" && args.size() <= 3;
  const bool withNumber = (command == "retry" || command == "drop" || command == "prune") && args.size() == 3;
  if (!listing && !withNumber) {
    err << kUsage;
    return 2;
  }
  std::optional<std::int64_t> number;
  if (withNumber && !(number = Number(args[2]))) {
    err << "mes-outbox: '" << args[2] << "' is not a number\n";
    return 2;
  }
  try {
    MesOutboxStore store(args[1], MesOutboxStore::OpenMode::ExistingOnly);
    const std::time_t now = std::time(nullptr);
    if (listing) return List(store, args, out, err);
    if (command == "prune") {
      out << store.Prune(now - static_cast<std::time_t>(*number) * 24 * 3600) << " reports removed\n";
      return 0;
    }
    const std::optional<MesOutboxReport> before = store.Find(*number);
    const bool done = command == "retry" ? store.Retry(*number) : store.Drop(*number, now);
    if (!done) {
      err << "mes-outbox: report " << *number
          << (before ? std::string(" is ") + MesOutboxStateName(before->state) : std::string(" does not exist"))
          << (command == "retry" ? "; only refused or dropped reports can be retried\n"
                                 : "; only pending or refused reports can be dropped\n");
      return 1;
    }
    out << "report " << *number << (command == "retry" ? " is pending again\n" : " dropped\n");
    return 0;
  } catch (const platform::Error& e) {
    err << "mes-outbox: " << e.what() << '\n';
    return 2;
  }
}
