#include "engine/engine_version.h"

// Set from the project's version for this file alone, so a new version
// rebuilds one file.
const char kKestrinVersion[] = KESTRIN_VERSION;
