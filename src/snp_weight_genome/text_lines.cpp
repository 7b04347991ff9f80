#include "text_lines.hpp"

#include <algorithm>
#include <cstring>

#include "genome_records.hpp"
#include "messages.hpp"

namespace {

// How far into a file control bytes are looked for: enough to tell a
// binary file from text without a cost on every line.
constexpr std::size_t looked_at = 4096;

// A byte that no text file holds (tab, line ends, vertical tab and form
// feed are text).
bool is_control(unsigned char c) { return c < 0x20 && (c < '\t' || c > '\r'); }

// The last line end in [from, to), or nullptr.
const char* last_line_end(const char* from, const char* to) {
  // Blocks of 64 bytes that hold none are passed over whole, by a test the
  // compiler vectorizes: a VCF's lines run to kilobytes.
  while (to - from >= 64) {
    const char* block = to - 64;
    unsigned char found = 0;
    for (int k = 0; k < 64; ++k) found += block[k] == '\n';
    if (found != 0) break;
    to = block;
  }
  while (to != from)
    if (*--to == '\n') return to;
  return nullptr;
}

}  // namespace

std::int64_t count_line_ends(std::string_view text) {
  // Counted in blocks whose count fits 16 bits, so that the compiler keeps
  // the sum in narrow vector lanes: several times std::count's speed.
  std::int64_t count = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t block = std::min<std::size_t>(text.size() - at, 65535);
    std::uint16_t in_block = 0;
    for (std::size_t k = 0; k < block; ++k) in_block += text[at + k] == '\n';
    count += in_block;
    at += block;
  }
  return count;
}

void text_chunk::reserve(std::size_t wanted) {
  if (wanted <= capacity) return;
  const std::size_t grown = std::max(wanted, capacity + capacity / 2);
  auto larger = std::make_unique_for_overwrite<char[]>(grown);
  if (size > 0) std::memcpy(larger.get(), bytes.get(), size);
  bytes = std::move(larger);
  capacity = grown;
}

text_chunks::text_chunks(byte_source& source, std::string_view path, std::string_view format)
    : source_(source), path_(path), format_(format) {}

namespace {

std::string after_line(std::int64_t lines_before) {
  return lines_before == 0 ? std::string("before its first line") : "after line " + std::to_string(lines_before);
}

}  // namespace

std::string text_chunks::failure_message(std::int64_t lines_before) const {
  if (!failure_.empty()) return failure_;
  if (too_long_) return messages::at_line(path_, lines_before + 1, messages::line_too_long(MAX_LINE_LENGTH));
  return source_.failure_message(path_, after_line(lines_before));
}

bool text_chunks::read_more(text_chunk& chunk, std::size_t room) {
  chunk.reserve(chunk.size + room + 1);  // and a byte to end the last line with
  const std::ptrdiff_t got = source_.read(chunk.bytes.get() + chunk.size, room);
  if (got < 0) {
    source_failed_ = true;
    return false;
  }
  ended_ = got == 0;
  chunk.size += static_cast<std::size_t>(got);
  return true;
}

bool text_chunks::begin(text_chunk& chunk) {
  begun_ = true;
  // Enough bytes to see the mark and to tell text from a binary file,
  // however the source hands them out.
  while (chunk.size < looked_at + 3 && !ended_ && !source_failed_) read_more(chunk, looked_at + 3 - chunk.size);
  if (chunk.size >= 3 && std::memcmp(chunk.bytes.get(), "\xEF\xBB\xBF", 3) == 0) {
    std::memmove(chunk.bytes.get(), chunk.bytes.get() + 3, chunk.size - 3);
    chunk.size -= 3;
  }
  std::int64_t line = 1;
  for (std::size_t at = 0; at < std::min(chunk.size, looked_at); ++at) {
    const auto c = static_cast<unsigned char>(chunk.bytes[at]);
    line += c == '\n';
    if (is_control(c)) {
      failure_ =
          messages::at_line(path_, line, c == 0 ? messages::holds_nul("line") : messages::control_byte(c, format_));
      return false;
    }
  }
  return true;
}

bool text_chunks::next(text_chunk& chunk, std::size_t size) {
  if (!failure_.empty() || too_long_ || (source_failed_ && rest_.size == 0)) return false;
  std::swap(chunk, rest_);
  rest_.size = 0;
  if (!begun_ && !begin(chunk)) return false;
  std::size_t searched = 0;  // chunk[0, searched) holds no line end
  for (;;) {
    // The whole lines read before the source failed are handed out first.
    if (chunk.size >= size || ended_ || source_failed_) {
      const char* first = chunk.bytes.get();
      if (const char* end = last_line_end(first + searched, first + chunk.size)) {
        const std::size_t kept = static_cast<std::size_t>(end - first) + 1;
        rest_.reserve(chunk.size - kept + 1);
        rest_.size = chunk.size - kept;
        if (rest_.size > 0) std::memcpy(rest_.bytes.get(), first + kept, rest_.size);
        chunk.size = kept;
        return true;
      }
      searched = chunk.size;
      if (source_failed_) return false;
      if (ended_) return chunk.size > 0;  // the last line, without its line end
      if (chunk.size > MAX_LINE_LENGTH) {
        too_long_ = true;
        return false;
      }
    }
    const std::size_t room = chunk.size < size ? size - chunk.size : std::size_t{1} << 16;
    read_more(chunk, room);
  }
}

std::string text_chunks::damage_further_on(std::int64_t lines_before) {
  if (!source_.checked_at_end()) return {};
  source_.read_to_end();
  // The source's own failure: a reader that read ahead may have found a
  // line too long beyond it.
  return source_.failure() == source_failure::damaged ? source_.failure_message(path_, after_line(lines_before))
                                                      : std::string();
}

chunk_lines::chunk_lines(std::string_view chunk, std::int64_t first_line, std::string_view path)
    : rest_(chunk),
      nul_(chunk.empty() ? nullptr : static_cast<const char*>(std::memchr(chunk.data(), '\0', chunk.size()))),
      path_(path),
      line_number_(first_line - 1) {}

bool chunk_lines::refuse_nul(std::string* error) const {
  *error = messages::at_line(path_, line_number_, messages::holds_nul("line"));
  return false;
}

text_lines::text_lines(byte_source& source, std::string_view path, std::string_view format)
    : chunks_(source, path, format), lines_({}, 1, chunks_.path()) {}

bool text_lines::next_chunk(std::string_view& line, std::string* error) {
  for (;;) {
    if (!chunks_.next(chunk_, chunk_size)) {
      if (chunks_.failed()) *error = chunks_.failure_message(lines_.line_number());
      return false;
    }
    lines_ = chunk_lines(chunk_.view(), lines_.line_number() + 1, chunks_.path());
    if (lines_.next(line, error)) return true;
    if (!error->empty()) return false;
  }
}

bool text_lines::take_chunk(text_chunk& chunk) {
  const std::string_view rest = lines_.rest();
  if (rest.empty()) return chunks_.next(chunk, chunk_size);
  chunk.size = 0;
  chunk.reserve(rest.size());
  std::memcpy(chunk.bytes.get(), rest.data(), rest.size());
  chunk.size = rest.size();
  lines_ = chunk_lines({}, lines_.line_number() + 1, chunks_.path());
  return true;
}

std::string text_lines::read_to_end() {
  std::int64_t lines = lines_.last_line_number();
  while (chunks_.next(chunk_, chunk_size)) {
    lines += count_line_ends(chunk_.view());
  }
  return chunks_.failed() ? chunks_.failure_message(lines) : std::string();
}
