// monitor-station: a production-line host for the results monitor. It reads
// a scenario (JSON), runs its units on the monitor window position by
// position, judges and saves each one (result logs, MES upload, PCB.xls row)
// and prints a summary. Without a display it renders the window to a PNG
// after each unit and at the end.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/MonitorDialog.h"
#include "station/MesProbe.h"
#include "station/ModuleTexts.h"
#include "station/OutputFolder.h"
#include "station/ReceiverProcess.h"
#include "station/Scenario.h"
#include "station/StationRun.h"

namespace {

constexpr char kUsage[] =
    "usage: monitor-station [options] SCENARIO.json\n"
    "  --out DIR          output folder: logs (TestResult/), PCB.xls, window picture, receiver database\n"
    "                     (default: ./station-output); the station runs from a copy of itself there\n"
    "  --mes URL          report units to this MES endpoint instead of the embedded receiver\n"
    "  --mes-port N       port of the embedded receiver on 127.0.0.1 (default: any free port)\n"
    "  --speed F          run item durations F times faster (default 1)\n"
    "  --exit-when-done   close the window when every unit is saved (always so without a display)\n"
    "  --png PATH         window picture (default: DIR/station-window.png; written without a display)\n"
    "  --template PATH    workbook copied to DIR/PCB.xls when there is none\n"
    "  --fresh-workbook   start from the template even when DIR/PCB.xls exists (kept as a .bak file)\n"
    "  --no-outbox        report straight to the MES, without the durable outbox (DIR/mes-outbox.sqlite)\n";

struct Options {
  std::string scenario;
  std::string out = "station-output";
  std::string mesUrl;
  int mesPort = 0;
  double speed = 1.0;
  bool exitWhenDone = false;
  std::string png;
  std::string templatePath;
  bool freshWorkbook = false;
  bool outbox = true;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "monitor-station: %s\n", message.c_str());
  return 2;
}

// Returns an error text, empty when the options are usable.
std::string ParseOptions(int argc, char** argv, Options& o) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) -> bool {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") return "help";
    if (a == "--exit-when-done")
      o.exitWhenDone = true;
    else if (a == "--fresh-workbook")
      o.freshWorkbook = true;
    else if (a == "--no-outbox")
      o.outbox = false;
    else if (a == "--out") {
      if (!value(o.out)) return "--out needs a folder";
    } else if (a == "--mes") {
      if (!value(o.mesUrl)) return "--mes needs a URL, e.g. http://mes-host/querysn/cs_querysn.asmx";
    } else if (a == "--png") {
      if (!value(o.png)) return "--png needs a file name";
    } else if (a == "--template") {
      if (!value(o.templatePath)) return "--template needs a workbook file";
    } else if (a == "--mes-port") {
      if (!value(v) || v.empty() || v.size() > 5 || v.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(v) > 65535)
        return "--mes-port needs a port number 0 to 65535";
      o.mesPort = std::stoi(v);
    } else if (a == "--speed") {
      char* end = nullptr;
      if (!value(v)) return "--speed needs a factor, e.g. --speed 10";
      o.speed = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end || !std::isfinite(o.speed) || o.speed <= 0 || o.speed > 1e6)
        return "--speed " + v + " is not a factor above 0: give e.g. --speed 10";
    } else if (!a.empty() && a[0] == '-') {
      return "unknown option " + a + ": see --help";
    } else if (o.scenario.empty()) {
      o.scenario = a;
    } else {
      return "more than one scenario given (" + o.scenario + ", " + a + "): give one";
    }
  }
  if (o.scenario.empty()) return "no scenario given: monitor-station [options] SCENARIO.json (see station/scenarios/)";
  if (!o.mesUrl.empty() && o.mesPort != 0) return "--mes-port is for the embedded receiver: leave it out with --mes";
  return {};
}

bool Headless() {
  const char* platformName = std::getenv("QT_QPA_PLATFORM");
  if (platformName && std::string(platformName) == "offscreen") return true;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return !(x11 && *x11) && !(wayland && *wayland);
}

bool SavePicture(CMonitorDialog& dlg, const std::string& path) {
  QWidget* window = dlg.GetQWidget();
  return window && window->grab().save(QString::fromStdString(path), "PNG");
}

const char* VerdictText(station::Verdict v) {
  return v == station::Verdict::Pass ? "PASS" : v == station::Verdict::Fail ? "FAIL" : "OPEN";
}

std::string TemplatePath(const Options& o, const std::string& home) {
  if (!o.templatePath.empty()) return std::filesystem::absolute(o.templatePath).string();
  const std::string beside = home + "/PCB-template.xls";
  if (station::LooksLikeXlsWorkbook(beside)) return beside;
  return MONITOR_STATION_TEMPLATE_SOURCE;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const std::string error = ParseOptions(argc, argv, o); !error.empty()) {
    if (error == "help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fputs(kUsage, stderr);
    return Fail(error);
  }

  station::Scenario scenario;
  station::ModulePlan plan;
  std::string folder;
  try {
    scenario = station::LoadScenario(o.scenario);
    plan = station::PrepareModuleTexts(scenario, o.speed);
    folder = station::PrepareOutputFolder(o.out);
    station::RunFromOutputFolder(folder, argv);  // returns only when running from the folder
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  const char* homeVar = std::getenv("MONITOR_STATION_HOME");
  const std::string home = homeVar && *homeVar ? homeVar : station::ExecutableDirectory();
  const std::string png = o.png.empty() ? folder + "/station-window.png" : std::filesystem::absolute(o.png).string();
  const std::string database = folder + "/mes-receiver.sqlite";
  // Reports the MES could not take wait here and go out again later.
  const std::string outbox = o.outbox ? folder + "/mes-outbox.sqlite" : std::string();

  // A PCB.xls that is no workbook is refused before anything starts.
  const std::string workbook = folder + "/PCB.xls";
  if (!o.freshWorkbook && std::filesystem::exists(workbook) && !station::LooksLikeXlsWorkbook(workbook))
    return Fail(workbook +
                " is not an Excel 97-2003 workbook: move it away (the station then makes a fresh one) or "
                "run with --fresh-workbook, which keeps it as a .bak file");

  station::ReceiverProcess receiver;
  std::string mesUrl = o.mesUrl;
  if (!mesUrl.empty()) {
    if (const std::string why = station::ProbeMesUrl(mesUrl); !why.empty()) return Fail(why);
  } else {
    std::string error;
    if (!receiver.Start(station::FindReceiverProgram(home), database, o.mesPort, error))
      return Fail("the embedded MES receiver did not start: " + error);
    mesUrl = receiver.Url();
  }

  std::string backup;
  try {
    const std::string templ = TemplatePath(o, home);
    switch (station::ProvideWorkbook(folder, templ, o.freshWorkbook, backup)) {
      case station::WorkbookState::MadeFromTemplate:
        std::printf("No PCB.xls in %s: made a fresh one from the template %s\n", folder.c_str(), templ.c_str());
        break;
      case station::WorkbookState::Replaced:
        std::printf("Fresh PCB.xls from the template %s; the previous one is kept as %s\n", templ.c_str(),
                    backup.c_str());
        break;
      case station::WorkbookState::Present:
        break;
    }
  } catch (const std::exception& e) {
    return Fail(e.what());
  }

  const bool headless = Headless();
  if (headless) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt wants a private runtime folder and warns when the session has none.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
      const std::string runtime = "/tmp/runtime-" + std::to_string(getuid());
      mkdir(runtime.c_str(), 0700);
      struct stat st {};
      if (stat(runtime.c_str(), &st) == 0 && st.st_uid == getuid() && (st.st_mode & 077) == 0)
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
  }
  QApplication app(argc, argv);

  CMonitorDialog dlg;
  dlg.m_nRows = scenario.nRows;
  dlg.m_nCols = scenario.nCols;
  dlg.m_strTitle = plan.strTitle;
  dlg.m_nWndWidth = scenario.nWidth;
  dlg.m_nWndHeight = scenario.nHeight;
  dlg.m_strMesUrl = mesUrl;
  dlg.m_strMesOutbox = outbox;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect work = screen->availableGeometry();
    dlg.m_rcScreen = platform::CRect(work.left(), work.top(), work.left() + work.width(), work.top() + work.height());
  }

  int units = 0;
  for (const auto& p : scenario.positions) units += static_cast<int>(p.units.size());
  std::printf("Station: %s, %zu position(s), %d unit(s), speed x%g\n", o.scenario.c_str(), scenario.positions.size(),
              units, o.speed);
  std::printf("Output folder: %s\nMES: %s%s\n", folder.c_str(), mesUrl.c_str(),
              o.mesUrl.empty() ? " (embedded receiver)" : "");
  std::fflush(stdout);

  bool pictureFailed = false;
  auto picture = [&] {
    if (headless && !SavePicture(dlg, png)) pictureFailed = true;
  };
  bool finished = false;
  std::unique_ptr<station::StationRun> run;
  auto onUnit = [&](const station::UnitReport& r) {
    const station::UnitOutcome& u = r.outcome;
    std::printf("[%*d/%d] position %d  %-18s %s  upload %s  export %s\n",
                static_cast<int>(std::to_string(r.nTotal).size()), r.nDone, r.nTotal, r.nListID,
                r.pUnit->strSerial.c_str(), VerdictText(u.verdict),
                u.bUploaded ? "accepted" : (u.bUploadExpected ? "FAILED" : "not sent (camera not passed)"),
                u.bExported ? "row added" : "FAILED");
    std::fflush(stdout);
    picture();
  };
  auto onFinished = [&] {
    finished = true;
    picture();
    std::printf("\nSummary\n%s\n", station::FormatSummary(run->Tallies()).c_str());
    if (!outbox.empty()) {
      int nPending = 0, nRefused = 0, nDeliveredToday = 0;
      if (dlg.GetMesOutboxCounts(&nPending, &nRefused, &nDeliveredToday))
        std::printf("MES outbox:     %d pending, %d refused, %d delivered today (%s; see: mes-outbox list %s)\n",
                    nPending, nRefused, nDeliveredToday, outbox.c_str(), outbox.c_str());
      else
        std::printf("MES outbox:     not usable (%s): units were reported straight to the MES\n", outbox.c_str());
    }
    if (headless) std::printf("Window picture: %s%s\n", png.c_str(), pictureFailed ? " (COULD NOT BE WRITTEN)" : "");
    std::printf("Result logs:    %s/TestResult\n", folder.c_str());
    std::printf("Workbook:       %s/PCB.xls\n", folder.c_str());
    if (o.mesUrl.empty()) {
      std::printf("MES database:   %s (list it: %s list --db %s)\n", database.c_str(),
                  station::FindReceiverProgram(home).c_str(), database.c_str());
    } else {
      std::printf("MES:            %s\n", mesUrl.c_str());
    }
    if (run->AnySaveFailed())
      std::printf("Some saves FAILED (see the lines above): check the MES address and PCB.xls, then run again.\n");
    std::fflush(stdout);
    if (headless || o.exitWhenDone)
      dlg.EndDialog(platform::IDOK);
    else
      std::printf("Close the window to end the station.\n");
    std::fflush(stdout);
  };
  run = std::make_unique<station::StationRun>(dlg, plan, onUnit, onFinished);

  // The modal loop creates the window; the run starts once its lists exist.
  std::function<void()> startWhenUp = [&] {
    if (dlg.FindListCtrl(plan.positions.front().nListID))
      run->Start();
    else
      QTimer::singleShot(20, startWhenUp);
  };
  QTimer::singleShot(0, startWhenUp);
  const auto modal = dlg.DoModal();
  if (modal == -1)
    return Fail("the monitor window could not be created: check the display (or run with QT_QPA_PLATFORM=offscreen)");
  if (!finished) {
    std::printf("The window was closed before every unit was saved; the units saved so far are kept.\n");
    std::printf("%s", station::FormatSummary(run->Tallies()).c_str());
  }
  const bool saveFailed = run->AnySaveFailed();
  run.reset();
  receiver.Stop();
  if (!finished) return 3;
  if (pictureFailed) return Fail("the window picture could not be written to " + png + ": check the --png path");
  return saveFailed ? 1 : 0;
}
