// The host's platform on Linux: the POSIX platform over the Wine prefix, with the mdbtools engine
// in a reader process of its own, read again when the shop's suite tears a read.
#include "platform/host_platform.h"

#include "platform/jet/isolated_engine.h"
#include "platform/jet/torn_read_retry.h"
#include "platform/mdbtools/mdbtools_engine.h"
#include "platform/posix/posix_platform.h"

namespace qano {

std::unique_ptr<JetEngine> make_host_jet_engine() {
  return retry_torn_reads(isolate_engine([] { return make_mdbtools_engine(); }),
                          posix::file_identity);
}

std::unique_ptr<HostPlatform> make_host_platform() {
  auto platform = std::make_unique<PosixPlatform>();
  platform->set_jet_engine(make_host_jet_engine());
  return platform;
}

const char* host_drives_help() {
  return "The drives are those of the Wine prefix $WINEPREFIX (else ~/.wine); the current\n"
         "drive is the one whose folder holds the working directory.";
}

const char* host_jet_engine_name() {
  return "mdbtools";
}

}  // namespace qano
