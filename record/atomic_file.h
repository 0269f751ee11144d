// Replacing a file as a whole and privately, so that readers see either the
// old content or the new, never a partial file, and no copy of it outlives
// the next save (the files saved this way hold passwords).
#pragma once

#include <string>
#include <string_view>

// How a save makes its temporary file. An unnamed one (O_TMPFILE) vanishes
// with a process killed while writing it; where the file system has none,
// and when asked, the temporary is named from the start.
enum class TemporaryFile { kUnnamedWhereSupported, kNamed };

// Writes `bytes` to a temporary file beside `path` of mode 0600 (whatever
// the umask), syncs it, gives it a name of the form "<name>.tmp-XXXXXX" if
// it has none yet and renames it over `path`; `path` ends with mode 0600.
// Every save first removes the temporaries of `path` that no live process
// holds, left by a save that was killed. On any failure this save's
// temporary is removed, `path` keeps its previous content, and false is
// returned.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           TemporaryFile temporary = TemporaryFile::kUnnamedWhereSupported);
