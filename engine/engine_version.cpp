#include "engine/engine_version.h"
