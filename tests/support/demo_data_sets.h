#pragma once

#include <string>

// The folder holding the two generated data sets (first/data, second/data, and first.log with
// the first run's output). Under CTest a fixture makes them once per run and names the folder
// in VELMORASTIK_DEMO_DATA_SETS; a test program run on its own makes them once, on first use,
// with the given script and generator, in a temporary folder that lasts the process.
const std::string& demo_data_sets(const char* script, const char* generator);
