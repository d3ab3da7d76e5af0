// Listing the five-digit-numbered .bmp files of a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NumberedBitmapFile {
    std::int32_t number;  // 0 to 99999
    std::wstring path;    // the folder string followed by the file's name
};

// Replaces result with the qualifying files of folder, ascending by number.
// folder must end with a path separator (or be empty for the current
// directory). A folder that cannot be listed gives an empty result.
void ScanNumberedBitmaps(const std::wstring& folder, std::vector<NumberedBitmapFile>& result);
