// The temporary files that saves of a file make beside it: named
// "<name>.tmp-XXXXXX" (six letters or digits), and locked with flock by the
// saving process from before they have a name until they are renamed or
// removed. A killed process loses its locks, so a temporary that can be
// locked is stale.
#pragma once

#include <string>
#include <string_view>

// A fresh temporary name for `name`.
std::string NewTemporaryName(std::string_view name);
bool IsTemporaryName(std::string_view candidate, std::string_view name);
// Removes the stale temporaries of `name` from the folder open as `folderFd`.
void RemoveStaleTemporaries(int folderFd, std::string_view name);
