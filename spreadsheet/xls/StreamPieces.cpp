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
  m_owned.push_back(std::move(bytes));
  m_pieces.push_back(Piece{false, m_owned.size() - 1, length, m_size});
  m_size += length;
}

void StreamPieces::Keep(std::span<const std::uint8_t> from) {
  if (from.empty()) return;
  const std::uint8_t* begin = m_source.data();
  const bool inside = begin && std::less_equal<const std::uint8_t*>()(begin, from.data()) &&
                      std::less_equal<const std::uint8_t*>()(from.data() + from.size(), begin + m_source.size());
  if (!inside) {
    Add(std::vector<std::uint8_t>(from.begin(), from.end()));
    return;
  }
  const std::size_t at = static_cast<std::size_t>(from.data() - begin);
  if (!m_pieces.empty() && m_pieces.back().fromSource && m_pieces.back().at + m_pieces.back().length == at) {
    m_pieces.back().length += from.size();  // one run continues the last
  } else {
    m_pieces.push_back(Piece{true, at, from.size(), m_size});
  }
  m_size += from.size();
}

void StreamPieces::PatchU32(std::size_t at, std::uint32_t value) {
  auto it = std::upper_bound(m_pieces.begin(), m_pieces.end(), at,
                             [](std::size_t pos, const Piece& p) { return pos < p.dest; });
  if (it == m_pieces.begin()) throw platform::Error("internal error: a patch before the stream's first piece");
  const Piece& p = *(it - 1);
  if (p.fromSource || at + 4 > p.dest + p.length)
    throw platform::Error("internal error: a patch outside the new bytes of the stream");
  PutU32(m_owned[p.at].data() + (at - p.dest), value);
}

std::vector<std::span<const std::uint8_t>> StreamPieces::Spans() const {
  std::vector<std::span<const std::uint8_t>> spans;
  spans.reserve(m_pieces.size());
  for (const Piece& p : m_pieces)
    spans.push_back(p.fromSource ? m_source.subspan(p.at, p.length) : std::span<const std::uint8_t>(m_owned[p.at]));
  return spans;
}

bool StreamPieces::ApplyInPlace(std::vector<std::uint8_t>& buffer) const {
  if (buffer.data() != m_source.data() || buffer.size() != m_source.size()) return false;
  if (buffer.capacity() < m_size) return false;
  std::size_t lastEnd = 0;
  for (const Piece& p : m_pieces) {
    if (!p.fromSource) continue;
    if (p.at < lastEnd) return false;  // runs out of source order could overwrite each other
    lastEnd = p.at + p.length;
  }
  if (m_size > buffer.size()) buffer.resize(m_size);  // within the capacity: the data stays where it is
  std::uint8_t* data = buffer.data();
  // Runs that move towards the start go first, from the start on; then the
  // ones that move towards the end, from the end back. With the runs in the
  // same order in both streams, no run is overwritten before it has moved.
  for (const Piece& p : m_pieces)
    if (p.fromSource && p.dest < p.at) std::memmove(data + p.dest, data + p.at, p.length);
  for (auto it = m_pieces.rbegin(); it != m_pieces.rend(); ++it)
    if (it->fromSource && it->dest > it->at) std::memmove(data + it->dest, data + it->at, it->length);
  for (const Piece& p : m_pieces)
    if (!p.fromSource) std::memcpy(data + p.dest, m_owned[p.at].data(), p.length);
  buffer.resize(m_size);
  return true;
}

std::vector<std::uint8_t> StreamPieces::Assemble(std::size_t reserve) const {
  std::vector<std::uint8_t> out;
  out.reserve(std::max(reserve, m_size));
  for (auto span : Spans()) out.insert(out.end(), span.begin(), span.end());
  return out;
}

}  // namespace xls
