#pragma once

#include <windows.h>

#include "platform/file_identity.h"

// The identity of an open file (a disk file's; false for what has none, such as a console).
bool handle_identity(HANDLE file, FileIdentity* identity);
