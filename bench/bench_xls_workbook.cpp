// Figures of the .xls workbook engine on a sheet of 20,000 rows x 20 text columns
// (plus a small second sheet):
//  1. writing that workbook from scratch;
//  2. load + append one row + save, the way one statement of the database layer
//     uses a workbook (best and median of several runs);
//  3. the same step done by python3-xlrd (read) and python3-xlwt (write every
//     cell again), for comparison.
// Usage: bench_xls_workbook [rows] [runs]   (defaults 20000 and 7)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "spreadsheet/xls/Workbook.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

std::u16string Ascii(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

std::vector<std::u16string> Row(int r) {
  std::vector<std::u16string> row;
  row.push_back(Ascii("2026/12/05  11:55:" + std::to_string(r % 60)));
  row.push_back(Ascii("SN" + std::to_string(100000 + r)));
  for (int c = 2; c < 20; ++c) {
    switch (c % 3) {
      case 0:
        row.push_back(c % 2 ? u"PASS" : u"\x5408\x683C");
        break;  // 合格
      case 1:
        row.push_back(Ascii(std::to_string((r * 31 + c * 7) % 1000) + "." + std::to_string(c)));
        break;
      default:
        row.push_back(u"\x6D4B\x8BD5" + Ascii(std::to_string(r) + "-" + std::to_string(c)));
        break;  // 测试
    }
  }
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
  int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  std::string dir = "/tmp/bench_xls_" + std::to_string(::getpid());
  std::string path = dir + ".xls";

  auto t0 = Clock::now();
  {
    xls::Workbook wb = xls::Workbook::CreateEmpty();
    xls::Worksheet& other = wb.AddSheet(u"Other");
    other.AppendRow({u"kept", u"as", u"is"});
    xls::Worksheet& s = wb.AddSheet(
        u"\x578B\x53F7"
        u"A");  // 型号A
    for (int r = 0; r < rows; ++r) s.AppendRow(Row(r));
    wb.Save(path);
  }
  auto t1 = Clock::now();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  std::printf("workbook: %d rows x 20 text columns, %.1f MB\n", rows, size / 1048576.0);
  std::printf("write from scratch:              %8.1f ms\n", Ms(t0, t1));

  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto a = Clock::now();
    xls::Workbook wb = xls::Workbook::Load(path);
    auto b = Clock::now();
    wb.FindSheet(
          u"\x578B\x53F7"
          u"A")
        ->AppendRow(Row(rows + i));
    auto c = Clock::now();
    wb.Save(path);
    auto d = Clock::now();
    times.push_back(Ms(a, d));
    if (i == 0) std::printf("first run: load %.1f ms, append %.3f ms, save %.1f ms\n", Ms(a, b), Ms(b, c), Ms(c, d));
  }
  std::sort(times.begin(), times.end());
  std::printf("load + append one row + save:    %8.1f ms best, %.1f ms median of %d\n", times.front(),
              times[times.size() / 2], runs);

  std::string script = std::string(
      "import sys, xlrd, xlwt\n"
      "b = xlrd.open_workbook(sys.argv[1])\n"
      "out = xlwt.Workbook(encoding='utf-8')\n"
      "for s in b.sheets():\n"
      "    o = out.add_sheet(s.name)\n"
      "    n = s.nrows\n"
      "    for r in range(n):\n"
      "        for c, v in enumerate(s.row_values(r)):\n"
      "            o.write(r, c, v)\n"
      "    if s.name != 'Other':\n"
      "        for c in range(20): o.write(n, c, 'appended')\n"
      "out.save(sys.argv[2])\n");
  std::string scriptPath = dir + ".py";
  f = std::fopen(scriptPath.c_str(), "w");
  std::fputs(script.c_str(), f);
  std::fclose(f);
  auto p0 = Clock::now();
  int rc = std::system(("/usr/bin/python3 " + scriptPath + " " + path + " " + dir + "-py.xls").c_str());
  auto p1 = Clock::now();
  if (rc == 0)
    std::printf("python3 xlrd read + xlwt write:  %8.1f ms (one run)\n", Ms(p0, p1));
  else
    std::printf("python3 xlrd/xlwt comparison not run (exit %d)\n", rc);
  std::remove(path.c_str());
  std::remove(scriptPath.c_str());
  std::remove((dir + "-py.xls").c_str());
  return 0;
}
