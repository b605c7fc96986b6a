#pragma once

// The program's version as "2.5.5", taken from the project version at build time.
const char* KorvaneVersion();
