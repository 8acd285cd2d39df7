// Linked into the suites that send real key events to real windows: main()
// then starts an X server of their own for them. Constant initialisation
// has set the flag to false before this runs, whatever the order of files.
#include "x_session.h"

namespace {

[[maybe_unused]] const bool requested = (apptest::suiteWantsXServer = true);

}  // namespace
