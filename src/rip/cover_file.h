#pragma once
#include <QString>

#include "metadata/cover_store.h"

// Saves the release's front cover as "cover.jpg" (or "cover.png") in an album folder, through
// a temporary file renamed once complete, as the audio is. A file of that name with the same
// image is left as it is; one with a different image is the user's own and is never replaced.
// Returns empty when the folder has the cover now, else what the user should know: why it could
// not be written, or that their own file was kept.
QString SaveCoverFile(const QString& folder, const CoverImage& cover);
