#include "platform/platform.h"

// No display: the message has already gone to stderr.
void platform_show_message(const char*, const char*) {}
