// Standard output and standard error on a console: the programs write UTF-8, a console shows its
// own (OEM) code page, so text for a console goes to it as UTF-16 through WriteConsoleW. Text
// for a file or a pipe stays UTF-8 bytes.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace qano::win32 {

// How many bytes at the start of a UTF-8 text end on a whole character: a sequence cut at the
// end waits for the rest.
std::size_t whole_utf8_prefix(std::string_view bytes);

// A stream buffer that hands UTF-8 text, converted to UTF-16, to a writer: on each flush, and
// whenever it holds more than a few kilobytes. A character cut between two writes is held back
// until its rest comes; at the end what is left goes as it is (an invalid byte shows as U+FFFD).
class WideTextBuffer : public std::streambuf {
 public:
  // The writer returns false when the text could not be written.
  using Writer = std::function<bool(std::wstring_view)>;
  explicit WideTextBuffer(Writer writer) : writer_(std::move(writer)) {}
  ~WideTextBuffer() override;
  WideTextBuffer(const WideTextBuffer&) = delete;
  WideTextBuffer& operator=(const WideTextBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  bool write(bool all);

  Writer writer_;
  std::string pending_;
};

// Whether the handle is a console's screen buffer (not a file, a pipe or the NUL device).
bool is_console(HANDLE handle);

// Writes the whole text to the console; false when the console refuses it.
bool write_console(HANDLE console, std::wstring_view text);

// For as long as it lives, std::cout and std::cerr write through WriteConsoleW when standard
// output or standard error is a console; a stream that goes to a file or a pipe is left alone.
class ConsoleStreams {
 public:
  ConsoleStreams();
  ~ConsoleStreams();
  ConsoleStreams(const ConsoleStreams&) = delete;
  ConsoleStreams& operator=(const ConsoleStreams&) = delete;

 private:
  struct Redirect;
  static std::unique_ptr<Redirect> redirect(std::ostream& stream, DWORD which);
  std::unique_ptr<Redirect> out_;
  std::unique_ptr<Redirect> err_;
};

}  // namespace qano::win32
