// The entry point of a console command on Windows: the arguments as the user typed them,
// whatever the console's code page, in UTF-8; on a console the text shows as written, to a file
// or a pipe it goes as UTF-8. A report that cannot be written is the command's failure, status 2.
#include <iostream>

#include "platform/host_platform.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_console.h"

int wmain(int argc, wchar_t** wide_argv) {
  qano::win32::ConsoleStreams console;
  qano::win32::Utf8Arguments args = qano::win32::utf8_arguments(argc, wide_argv);
  int status = qano::console_main(argc, args.argv.data());
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "the report could not be written to standard output" << std::endl;
    return 2;
  }
  return status;
}
