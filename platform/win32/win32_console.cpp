#include "platform/win32/win32_console.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include "platform/win32/wide.h"

namespace qano::win32 {

namespace {

// A flush comes at least this often, and a console write takes at most this many characters
// (older consoles refuse a single write of more than 64 KB).
constexpr std::size_t kHeldBytes = 4096;
constexpr std::size_t kConsoleChunk = 8192;

}  // namespace

std::size_t whole_utf8_prefix(std::string_view bytes) {
  // Look back over at most three continuation bytes for the lead byte of the last character.
  std::size_t back = 0;
  while (back < 3 && back < bytes.size() &&
         (static_cast<unsigned char>(bytes[bytes.size() - 1 - back]) & 0xC0) == 0x80) {
    ++back;
  }
  if (back == bytes.size()) return bytes.size();  // continuation bytes alone: not ours to hold
  const auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - back]);
  const std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 1;  // an invalid byte stands alone
  return back + 1 < length ? bytes.size() - 1 - back : bytes.size();
}

WideTextBuffer::~WideTextBuffer() {
  write(true);
}

WideTextBuffer::int_type WideTextBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (pending_.size() >= kHeldBytes && !write(false)) return traits_type::eof();
  return c;
}

std::streamsize WideTextBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  if (pending_.size() >= kHeldBytes && !write(false)) return 0;
  return n;
}

int WideTextBuffer::sync() {
  return write(false) ? 0 : -1;
}

bool WideTextBuffer::write(bool all) {
  const std::size_t whole = all ? pending_.size() : whole_utf8_prefix(pending_);
  if (whole == 0) return true;
  std::wstring text;
  try {
    text = to_wide(std::string_view(pending_).substr(0, whole));
  } catch (const Failure&) {
    return false;
  }
  pending_.erase(0, whole);
  return writer_(text);
}

bool is_console(HANDLE handle) {
  // Only a console answers GetConsoleMode; a file, a pipe or NUL does not.
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool write_console(HANDLE console, std::wstring_view text) {
  while (!text.empty()) {
    const auto part = static_cast<DWORD>(std::min(text.size(), kConsoleChunk));
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data(), part, &written, nullptr) || written == 0) {
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

struct ConsoleStreams::Redirect {
  std::ostream* stream = nullptr;
  std::streambuf* previous = nullptr;
  std::unique_ptr<WideTextBuffer> buffer;
};

std::unique_ptr<ConsoleStreams::Redirect> ConsoleStreams::redirect(std::ostream& stream,
                                                                   DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (!is_console(handle)) return nullptr;
  stream.flush();
  auto r = std::make_unique<Redirect>();
  r->stream = &stream;
  r->buffer = std::make_unique<WideTextBuffer>(
      [handle](std::wstring_view text) { return write_console(handle, text); });
  r->previous = stream.rdbuf(r->buffer.get());
  return r;
}

ConsoleStreams::ConsoleStreams()
    : out_(redirect(std::cout, STD_OUTPUT_HANDLE)), err_(redirect(std::cerr, STD_ERROR_HANDLE)) {}

ConsoleStreams::~ConsoleStreams() {
  for (Redirect* r : {out_.get(), err_.get()}) {
    if (r == nullptr) continue;
    r->stream->flush();
    r->stream->rdbuf(r->previous);
  }
}

}  // namespace qano::win32
