#include "station/OutputFolder.h"
#include "station/LocalTime.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace station {

namespace fs = std::filesystem;

namespace {

constexpr char kPlacedName[] = "monitor-station";

std::string Why(int err) {
  return std::strerror(err);
}

// Copies through a hidden temporary file and renames, so a reader never sees
// half a file; returns 0 or the errno of the step that failed.
int CopyFileAtomically(const std::string& from, const std::string& to, mode_t mode) {
  const std::string temp = fs::path(to).parent_path() / ("." + fs::path(to).filename().string() + ".new");
  std::error_code ec;
  fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
  if (ec) return ec.value();
  if (chmod(temp.c_str(), mode) != 0 || rename(temp.c_str(), to.c_str()) != 0) {
    const int err = errno;
    unlink(temp.c_str());
    return err;
  }
  return 0;
}

bool SameContent(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::error_code e1, e2;
  if (fs::file_size(a, e1) != fs::file_size(b, e2) || e1 || e2) return false;
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb));
}

}  // namespace

std::string ExecutableDirectory() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

std::string PrepareOutputFolder(const std::string& strFolder) {
  std::error_code ec;
  const fs::path folder = fs::absolute(strFolder, ec).lexically_normal();
  std::string path = folder.string();
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder))
    throw SetupError("cannot create the output folder " + path + " (" +
                     (ec ? ec.message() : std::string("a file of that name exists")) +
                     "): choose another folder with --out");
  const std::string probe = path + "/.monitor-station-write-test";
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    throw SetupError("the output folder " + path + " is not writable (" + Why(errno) +
                     "): make it writable or choose another folder with --out");
  close(fd);
  unlink(probe.c_str());
  return path;
}

void RunFromOutputFolder(const std::string& strFolder, char** argv) {
  const std::string here = ExecutableDirectory();
  std::error_code ec;
  if (fs::equivalent(here, strFolder, ec)) return;
  const std::string self = "/proc/self/exe";
  const std::string placed = strFolder + "/" + kPlacedName;
  if (!SameContent(self, placed)) {
    if (const int err = CopyFileAtomically(self, placed, 0755))
      throw SetupError("cannot place the station program into " + strFolder + " (" + Why(err) +
                       "): make the folder writable or choose another with --out");
  }
  // The copy finds the module and the receiver through this variable.
  setenv("MONITOR_STATION_HOME", here.c_str(), 0);
  execv(placed.c_str(), argv);
  throw SetupError("cannot start " + placed + " (" + Why(errno) +
                   "): the output folder must allow running programs (no noexec mount); choose another with --out");
}

bool LooksLikeXlsWorkbook(const std::string& strPath) {
  static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::ifstream in(strPath, std::ios::binary);
  unsigned char head[8] = {};
  return in.read(reinterpret_cast<char*>(head), 8) && std::memcmp(head, kSignature, 8) == 0;
}

WorkbookState ProvideWorkbook(const std::string& strFolder, const std::string& strTemplate, bool bFresh,
                              std::string& strBackup) {
  const std::string workbook = strFolder + "/PCB.xls";
  std::error_code ec;
  const bool exists = fs::exists(workbook, ec);
  if (exists && !bFresh) {
    if (!LooksLikeXlsWorkbook(workbook))
      throw SetupError(workbook +
                       " is not an Excel 97-2003 workbook: move it away (the station then makes a fresh "
                       "one) or run with --fresh-workbook, which keeps it as a .bak file");
    return WorkbookState::Present;
  }
  if (!LooksLikeXlsWorkbook(strTemplate))
    throw SetupError("the workbook template " + strTemplate +
                     " is missing or not a workbook: give the project's station/PCB-template.xls with --template");
  if (exists) {
    strBackup = workbook + "." + LocalTimeText("%Y%m%d-%H%M%S") + ".bak";
    if (rename(workbook.c_str(), strBackup.c_str()) != 0)
      throw SetupError("cannot keep the old " + workbook + " as " + strBackup + " (" + Why(errno) +
                       "): make the folder writable");
  }
  if (const int err = CopyFileAtomically(strTemplate, workbook, 0644))
    throw SetupError("cannot copy the workbook template to " + workbook + " (" + Why(err) +
                     "): make the folder writable or choose another with --out");
  return exists ? WorkbookState::Replaced : WorkbookState::MadeFromTemplate;
}

}  // namespace station
