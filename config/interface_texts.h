// Interface texts from language.xml (UTF-8), in the ANSI code page.
#pragma once

#include "config/ui_texts.h"

namespace platform {
class Dialog;
}

// Reads "language.xml" from the current directory into `texts`. False when
// the file cannot be loaded; `texts` is then unchanged.
bool LoadInterfaceTexts(UiTexts& texts);

// Shows the title, inserts the ten list columns headed by entries 0-9 and
// sets the five control captions.
void ApplyInterfaceTexts(platform::Dialog& dialog, const UiTexts& texts);

// Replaces a NUL-terminated UTF-8 text by its ANSI code-page form in the same
// storage, never writing past its terminating NUL.
void Utf8ToAnsiInPlace(char* s);
