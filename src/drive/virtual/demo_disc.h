#pragma once
#include <memory>

class DiscImage;

// The built-in demo disc: four short audio tracks of chord music with CD-TEXT, computed
// sector by sector when read (nothing is stored).
std::shared_ptr<const DiscImage> MakeDemoDisc();
