#pragma once

#include <QString>
#include <QStringList>

// The recent output files, most recent first, as stored on the settings file's fourth line.

// The items joined with one TAB between neighbours.
QString ListToStr(const QStringList& items);

// Appends every non-empty TAB-separated piece of text to items (no clearing, no de-duplication,
// no limit).
void StrToList(QStringList& items, const QString& text);

// Puts text at the top: an item equal to it regardless of letter case moves to the top (the one
// already at the top stays as it is), otherwise text is inserted there; then at most 10 items
// are kept.
void AddRecent(QStringList& items, const QString& text);
