#pragma once

// What the portable code needs of the machine it runs on. One implementation per platform
// (headless/ for tools and tests; a windowed one beside it), linked after the portable libraries.

// Shows a modal message with an OK button when a display is available; returns at once otherwise.
// Called only on the way to a fatal end.
void platform_show_message(const char* text, const char* caption);
