#pragma once
// File removal and rename that retry for a moment, for files the game or a virus scanner
// may hold open briefly. They never throw: the outcome is the result and log lines.
// Both block the calling thread while they wait between attempts (0.5 s × attempt).

#include <QString>

// True when no regular file stands at `path` any more (deleted now, or there was none).
// A folder at `path` is left alone.
bool safe_remove(const QString &path, int max_retries = 3);

// True when `src` now stands at `dst`. Whatever stands at `dst` is removed first; the
// move itself is a plain rename on the same volume, never a copy.
bool safe_rename(const QString &src, const QString &dst, int max_retries = 3);
