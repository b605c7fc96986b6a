#include "platform/version.h"

const char* KorvaneVersion() { return KORVANE_VERSION; }
