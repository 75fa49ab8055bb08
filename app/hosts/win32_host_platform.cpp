// The host's platform on Windows: the Win32 platform with Jet through the ODBC Access driver,
// read again when the shop's suite tears a read.
#include "platform/host_platform.h"

#include "platform/jet/torn_read_retry.h"
#include "platform/odbc/odbc_engine.h"
#include "platform/win32/win32_platform.h"

namespace qano {

std::unique_ptr<JetEngine> make_host_jet_engine() {
  return retry_torn_reads(make_odbc_engine(), win32::file_identity);
}

std::unique_ptr<HostPlatform> make_host_platform() {
  auto platform = std::make_unique<Win32Platform>();
  platform->set_jet_engine(make_host_jet_engine());
  return platform;
}

const char* host_drives_help() {
  return "The current drive is the drive of the working directory.";
}

const char* host_jet_engine_name() {
  return "the Access ODBC driver";
}

}  // namespace qano
