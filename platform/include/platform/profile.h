// Private profile (INI) files.
//
// Behaviour the system relies on, as on Windows:
// - section and key names compare without regard to letter case;
// - a missing file, section or key yields the caller's default;
// - text is cut to the caller's buffer and always NUL-terminated;
// - blanks around keys and values are ignored, and a value in matching double
//   or single quotes loses them;
// - integers are read as an optional sign and leading decimal digits; anything
//   after the digits is ignored ("12abc" reads 12, "abc" reads 0); an empty
//   value gives the default.
// Differences from Windows:
// - paths may use backslashes, which are taken as '/' (so "C:"-style drive
//   letters are not understood, only absolute or relative POSIX paths);
// - WritePrivateProfileStringA replaces the file atomically: it writes a
//   temporary file in the same folder, syncs it and renames it over the old one,
//   so a concurrent reader sees either the old or the new file, never half of
//   one. Writers in different processes are serialised with a lock on the
//   folder, so no update is lost. Every other line, comments included, is kept.
//   The folder must exist; the file is created when missing.
// - Readers keep a parsed copy of a file and reuse it while the file's device,
//   inode, size and modification time (in ns) stay the same and the file had
//   been left alone for a second when it was read; any rewrite, through
//   WritePrivateProfileStringA or in place, is seen at the next read.
// - Enumeration (a NULL section or key in GetPrivateProfileStringA) is not
//   supported: it returns 0 with an empty buffer.
#pragma once

#include "platform/win_types.h"

KAV_BEGIN_C

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR path);

// Copies the value (or the default; NULL counts as "") into buffer, at most
// size - 1 characters and a NUL. Returns the number of characters copied.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                               DWORD size, LPCSTR path);

// Sets key=value in section, creating section and file as needed. A NULL value
// deletes the key; a NULL key deletes the whole section. FALSE with the last
// error set when the file cannot be written.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);

KAV_END_C
