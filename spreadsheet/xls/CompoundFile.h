#pragma once

// OLE2 compound file (structured storage): a small file system of storages and
// streams in fixed-size sectors. Parse reads a whole file into memory; Serialize
// writes a complete new file (512-byte sectors) holding every storage and stream,
// those read from a file included, with their class ids, state bits and times.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xls {

class CompoundFile {
 public:
  enum EntryType : std::uint8_t { kStorage = 1, kStream = 2, kRoot = 5 };

  struct Entry {
    std::u16string name;
    EntryType type = kStream;
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t stateBits = 0;
    std::array<std::uint8_t, 8> created{};
    std::array<std::uint8_t, 8> modified{};
    std::vector<std::uint8_t> data;     // streams only
    std::vector<std::size_t> children;  // storages: indices into entries()
  };

  // Throws platform::Error when the bytes are not a readable compound file.
  static CompoundFile Parse(std::span<const std::uint8_t> file);
  // A file holding only its root storage, with the given class id.
  static CompoundFile CreateEmpty(const std::array<std::uint8_t, 16>& rootClsid);

  // Streams directly below the root; names compare case-insensitively.
  const std::vector<std::uint8_t>* FindStream(std::u16string_view name) const;
  bool HasEntry(std::u16string_view name) const;
  // Replaces the data of the stream of that name, or adds the stream.
  void SetStream(std::u16string_view name, std::vector<std::uint8_t> data);

  std::vector<std::uint8_t> Serialize() const;
  // The same file handed to `sink` piece by piece, in file order, so that a
  // large file need not be built in memory before it is written. The stream
  // named `heldName` (when given) is written with `heldData` instead of its
  // entry's data: a caller may keep a large stream elsewhere.
  void Write(const std::function<void(std::span<const std::uint8_t>)>& sink, std::u16string_view heldName = {},
             std::span<const std::uint8_t> heldData = {}) const;
  // The same with the held stream given as the pieces it is made of, in order.
  void Write(const std::function<void(std::span<const std::uint8_t>)>& sink, std::u16string_view heldName,
             const std::vector<std::span<const std::uint8_t>>& heldPieces) const;
  // The stream of that name, for a caller that replaces it in place.
  std::vector<std::uint8_t>* MutableStream(std::u16string_view name);

  const std::vector<Entry>& entries() const { return m_entries; }

 private:
  std::size_t FindChild(std::u16string_view name) const;
  std::vector<Entry> m_entries;  // [0] is the root storage
};

}  // namespace xls
