#pragma once
#include <QString>

// A drive's read offset in frames, as the drive lists of the AccurateRip database give it: a
// drive of offset +N, asked for sector s, delivers audio that starts N frames before s's true
// start. Stored per drive model (section "ReadOffsets", the product name as key), so it
// survives a change of device name.
constexpr int kMaxReadOffset = 3000;  // no drive is known beyond this, either way

int StoredReadOffset(const QString& productName);
// False, with nothing stored, for an offset beyond kMaxReadOffset or a failed write.
bool StoreReadOffset(const QString& productName, int frames);

// "+667", "0", "-30".
QString ReadOffsetText(int frames);
