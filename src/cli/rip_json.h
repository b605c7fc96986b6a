#pragma once
#include <QJsonObject>

struct RipResult;

// What `rip --json` prints when the rip ends: the disc's AccurateRip identity, the read
// offset, the log's path and per track its file, copy CRC32, AccurateRip checksums and
// verdict, read errors and suspicious sectors.
QJsonObject RipResultJson(const RipResult& result);
