#pragma once

// A new workbook stream described by the pieces it is made of: runs of the
// stream it replaces, taken as they are, and new bytes. A save writes the
// pieces straight to the file, so the new stream is never held beside the old
// one; afterwards the old stream's buffer is turned into the new one in place
// when its room allows.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace xls {

class StreamPieces {
 public:
  explicit StreamPieces(std::span<const std::uint8_t> source) : m_source(source) {}

  // Bytes described so far: where the next piece starts in the new stream.
  std::size_t size() const { return m_size; }

  // New bytes.
  void Add(std::vector<std::uint8_t> bytes);
  // `length` bytes of `from` (a span inside the source stream, or any other
  // bytes, which are then copied).
  void Keep(std::span<const std::uint8_t> from);
  // Overwrites four bytes at `at` of the new stream; they must lie in new
  // bytes, not in a run of the source.
  void PatchU32(std::size_t at, std::uint32_t value);

  // The pieces in stream order, as spans (new bytes and runs of the source).
  std::vector<std::span<const std::uint8_t>> Spans() const;

  // Makes `buffer` (the source stream itself) the new stream, moving the
  // runs inside it and copying the new bytes in. False, with `buffer`
  // unchanged, when its capacity is too small or the runs are not in source
  // order; the caller then builds the stream with Assemble.
  bool ApplyInPlace(std::vector<std::uint8_t>& buffer) const;
  std::vector<std::uint8_t> Assemble(std::size_t reserve) const;

 private:
  struct Piece {
    bool fromSource;
    std::size_t at;  // offset in the source, or index into m_owned
    std::size_t length;
    std::size_t dest;  // offset in the new stream
  };
  std::span<const std::uint8_t> m_source;
  std::vector<Piece> m_pieces;
  std::vector<std::vector<std::uint8_t>> m_owned;
  std::size_t m_size = 0;
};

// Room kept free behind a workbook stream held in memory, so that a save that
// adds a little to it can turn the buffer into the new stream in place.
inline std::size_t StreamRoomFor(std::size_t bytes) {
  return bytes + bytes / 16 + 65536;
}

}  // namespace xls
