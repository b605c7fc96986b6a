#pragma once
#include <QList>
#include <QString>

// "1,3-5" into 0-based rows; false for anything else or a track the disc does not have.
bool ParseTrackList(const QString& text, int trackCount, QList<int>& rows);
