// Lines of "vigilon.ini" that the setup tool does not write itself (settings
// of newer monitors, hand-written lines) survive a save.
#pragma once

// The most lines kept; any further are dropped.
inline constexpr int MaxKeptLines = 64;

// Appends to the file `to` every line of the file `from` that is not the
// header, not empty and not one of the settings the tool writes (compared
// over the key's first five characters, as the readers do), unchanged and in
// their order, at most MaxKeptLines. A line is kept whole, however long; its
// end is written like those of the tool's own lines (so a CR LF read on Linux
// becomes LF there, as Windows reads it in text mode anyway). Returns
// true also when `from` cannot be opened (nothing to keep); false when `to`
// cannot be opened or a read or write fails.
bool appendKeptLines(const char* from, const char* to);
