#pragma once
#include <QList>
#include <QString>

// "1,3-5" into 0-based rows. False for anything else, or a track the disc does not have,
// with error saying which.
bool ParseTrackList(const QString& text, int trackCount, QList<int>& rows, QString& error);
