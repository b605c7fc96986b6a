#pragma once
#include <memory>

class AudioEncoder;
class CdDevice;
class DiscImageWriter;

// The encoder of an audio format type, a process-wide object made on first request; drive
// becomes the disc it reads from. 1 Ogg Vorbis, 2 WAV, 3 WMA, 4 AAC, any other value MP3.
// Null when this build has no encoder for the format.
AudioEncoder* CreateEncoder(int typeId, CdDevice* drive);
bool IsEncoderAvailable(int typeId);

// A new writer for a disc-image type: 5 ISO, 6 BIN with CUE sheet. Null for any other
// value, and when this build has no writer for the image.
std::unique_ptr<DiscImageWriter> CreateDiscImageWriter(int typeId);
bool IsDiscImageWriterAvailable(int typeId);
