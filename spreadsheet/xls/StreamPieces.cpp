#include "spreadsheet/xls/StreamPieces.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "spreadsheet/xls/BiffBytes.h"
#include "platform/Error.h"

namespace xls {

void StreamPieces::Add(std::vector<std::uint8_t> bytes) {
  if (bytes.empty()) return;
  const std::size_t length = bytes.size();
  owned_.push_back(std::move(bytes));
  pieces_.push_back(Piece{false, owned_.size() - 1, length, size_});
  size_ += length;
}

void StreamPieces::Keep(std::span<const std::uint8_t> from) {
  if (from.empty()) return;
  const std::uint8_t* begin = source_.data();
  const bool inside = begin && std::less_equal<const std::uint8_t*>()(begin, from.data()) &&
                      std::less_equal<const std::uint8_t*>()(from.data() + from.size(), begin + source_.size());
  if (!inside) {
    Add(std::vector<std::uint8_t>(from.begin(), from.end()));
    return;
  }
  const std::size_t at = static_cast<std::size_t>(from.data() - begin);
  if (!pieces_.empty() && pieces_.back().fromSource && pieces_.back().at + pieces_.back().length == at) {
    pieces_.back().length += from.size();  // one run continues the last
  } else {
    pieces_.push_back(Piece{true, at, from.size(), size_});
  }
  size_ += from.size();
}

void StreamPieces::PatchU32(std::size_t at, std::uint32_t value) {
  auto it = std::upper_bound(pieces_.begin(), pieces_.end(), at,
                             [](std::size_t pos, const Piece& p) { return pos < p.dest; });
  if (it == pieces_.begin()) throw platform::Error("internal error: a patch before the stream's first piece");
  const Piece& p = *(it - 1);
  if (p.fromSource || at + 4 > p.dest + p.length)
    throw platform::Error("internal error: a patch outside the new bytes of the stream");
  PutU32(owned_[p.at].data() + (at - p.dest), value);
}

std::vector<std::span<const std::uint8_t>> StreamPieces::Spans() const {
  std::vector<std::span<const std::uint8_t>> spans;
  spans.reserve(pieces_.size());
  for (const Piece& p : pieces_)
    spans.push_back(p.fromSource ? source_.subspan(p.at, p.length) : std::span<const std::uint8_t>(owned_[p.at]));
  return spans;
}

bool StreamPieces::ApplyInPlace(std::vector<std::uint8_t>& buffer) const {
  if (buffer.data() != source_.data() || buffer.size() != source_.size()) return false;
  if (buffer.capacity() < size_) return false;
  std::size_t lastEnd = 0;
  for (const Piece& p : pieces_) {
    if (!p.fromSource) continue;
    if (p.at < lastEnd) return false;  // runs out of source order could overwrite each other
    lastEnd = p.at + p.length;
  }
  if (size_ > buffer.size()) buffer.resize(size_);  // within the capacity: the data stays where it is
  std::uint8_t* data = buffer.data();
  // Runs that move towards the start go first, from the start on; then the
  // ones that move towards the end, from the end back. With the runs in the
  // same order in both streams, no run is overwritten before it has moved.
  for (const Piece& p : pieces_)
    if (p.fromSource && p.dest < p.at) std::memmove(data + p.dest, data + p.at, p.length);
  for (auto it = pieces_.rbegin(); it != pieces_.rend(); ++it)
    if (it->fromSource && it->dest > it->at) std::memmove(data + it->dest, data + it->at, it->length);
  for (const Piece& p : pieces_)
    if (!p.fromSource) std::memcpy(data + p.dest, owned_[p.at].data(), p.length);
  buffer.resize(size_);
  return true;
}

std::vector<std::uint8_t> StreamPieces::Assemble(std::size_t reserve) const {
  std::vector<std::uint8_t> out;
  out.reserve(std::max(reserve, size_));
  for (auto span : Spans()) out.insert(out.end(), span.begin(), span.end());
  return out;
}

}  // namespace xls
