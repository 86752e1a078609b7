#pragma once

struct PlatformWindow;

// Shows a modal message with one OK button, owned by window (null: no owner), and returns when
// it is dismissed; returns at once where there is no screen. Called only on the way to a fatal end.
void message_box_show(PlatformWindow* owner, const char* text, const char* caption);

// The platform's own words for its most recent failure ("" when it has none); read by the fatal
// report so that stderr carries the reason behind a display failure.
const char* platform_failure_reason();
