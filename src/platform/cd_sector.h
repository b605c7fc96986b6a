#pragma once

// Bytes of one whole CD sector: 1/75 s of audio (588 stereo 16-bit frames) or a raw data sector
// with its sync, header and error correction.
constexpr int kCdSectorBytes = 2352;
// Bytes of one stereo frame (two 16-bit samples), and frames of one audio sector.
constexpr int kCdFrameBytes = 4;
constexpr int kCdSectorFrames = kCdSectorBytes / kCdFrameBytes;
// Bytes of a sector's C2 error pointers as READ CD returns them after the sector: one bit a
// byte of the sector, set where the drive's error correction could not mend the byte.
constexpr int kC2BlockBytes = kCdSectorBytes / 8;
