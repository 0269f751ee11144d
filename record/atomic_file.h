// Replacing a file as a whole, so that readers see either the old content
// or the new, never a partial file.
#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to a new temporary file beside `path` (mode 0600), syncs it
// and renames it over `path`. On any failure the temporary file is removed,
// `path` keeps its previous content, and false is returned.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);
