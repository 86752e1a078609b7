#pragma once

#include <string>

#include "platform/file_identity.h"

// The files the show reads (its pictures, texture and soundtrack), so that no output of the
// capture can be one of them.

// Called after changing into the data set's folder: the show's path of the input that is the
// file of that identity, or "" when it is none of them. Inputs that do not exist are skipped.
std::string show_input_matching(const FileIdentity& identity);

// The show's path of an input that the still folder holds under a still's name (frame-N.png,
// links followed), or "" when none, with that name in *still. A still would only replace the
// name, but such a folder is a mistake better named than quietly undone.
std::string show_input_among_stills(const std::string& folder, std::string* still);
