// The program entry: start the host, run the framework start-up and the host
// loop inside the guard for uncaught exceptions, then stop the host.
#include "host/app.h"
#include "host/entry.h"
#include "runtime/gc.h"

int main(int argc, char* argv[]) {
  StartHost();
  try {
    vl_std_main(argc, const_cast<const char**>(argv));
    if (runner) runner();
  } catch (ThrowableObject*) {
    ReportUncaughtException();
  } catch (const char*) {
    // The runtime's raw error signal: already reported where it was raised.
  }
  StopHost();
  return 0;
}
