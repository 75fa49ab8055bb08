// The order in which every platform lists a folder's names: case ignored ("acq_1.zip" before
// "ACQ_2.zip"), names that differ only in case by their bytes.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace qano {

void sort_names(std::vector<std::string>& names);
void sort_entries(std::vector<Entry>& entries);

}  // namespace qano
