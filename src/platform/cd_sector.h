#pragma once

// Bytes of one whole CD sector: 1/75 s of audio (588 stereo 16-bit frames) or a raw data sector
// with its sync, header and error correction.
constexpr int kCdSectorBytes = 2352;
