// Config.xml for tarnwick-cli: read from the current directory as the
// window reads it, saying on stderr what is wrong with it.
#pragma once

#include "config/model_catalogue.h"

enum class CatalogueLoad { kLoaded, kMissing, kUnusable };

// Fills `catalogue` from ./Config.xml. A missing file leaves it empty (the
// window then shows every device's own model) and is reported as a note;
// a file that cannot be read or parsed, or whose root holds no element, is
// reported as an error.
CatalogueLoad LoadCatalogueFile(ModelCatalogue& catalogue);
