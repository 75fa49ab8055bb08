// The driver list of the ODBC tests: the MDBTools driver, registered for these test programs
// alone.
#include <cstdlib>

namespace {

// Registers the MDBTools driver in this test program's own driver list before any test runs.
[[maybe_unused]] const bool driver_registered = [] {
  ::setenv("ODBCSYSINI", QANO_TEST_ODBCSYSINI, 1);
  ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
  return true;
}();

}  // namespace
