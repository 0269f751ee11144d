// The program's resources: dialog templates, strings and built-in images.
#pragma once

#include <cstdint>
#include <span>

#include "platform/dialog_template.h"
#include "res/resource_ids.h"

// Dialog template by id, or null.
const platform::DialogTemplate* FindDialogTemplate(int id);
// String resource by id, or null.
const char* FindStringResource(int id);
// Encoded image (PNG) of an icon resource by id; empty when there is none.
std::span<const std::uint8_t> FindIconResource(int id);
