// Loads arbitrary bytes as a stored list: any file must end in true or false,
// never in a crash, a hang or an unbounded allocation.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "monitor/ListContentsArchive.h"
#include "platform/MessageBox.h"
#include "tests/MemoryListContents.h"

namespace {

// One scratch file per run, removed when the fuzzer exits.
struct ScratchFile {
  std::string path = "/tmp/fuzz-list-archive-" + std::to_string(getpid()) + ".arc";
  ~ScratchFile() { unlink(path.c_str()); }
};

void LoadBytes(const std::string& path, const std::string& bytes) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  if (fp == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), fp);
  std::fclose(fp);
  MemoryListContents list;
  list.columns = {{0, 10, "Existing"}};
  list.rows = {{{"row"}, 1}};
  StoreListContents(list, path, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFile scratch = [] {
    platform::SetMessageBoxHandler([](const std::string&, unsigned) { return platform::IDOK; });
    return ScratchFile();
  }();
  const std::string& path = scratch.path;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  LoadBytes(path, bytes);
  // Again with the sum field made to match, so that the contents behind the
  // check are explored too (header text of 22 bytes, sum at offset 23).
  constexpr std::size_t kSumAt = 23;
  if (bytes.size() >= kSumAt + 4) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i < kSumAt || i >= kSumAt + 4) sum += static_cast<unsigned char>(bytes[i]);
    }
    for (int i = 0; i < 4; ++i) bytes[kSumAt + i] = static_cast<char>(sum >> (8 * i));
    LoadBytes(path, bytes);
  }
  return 0;
}
