// The entry point of a console command on Linux: the arguments are UTF-8 already.
#include "platform/host_platform.h"

int main(int argc, char** argv) {
  return qano::console_main(argc, argv);
}
