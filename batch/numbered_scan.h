// Listing the five-digit-numbered .bmp files of a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NumberedBitmapFile {
    std::int32_t number;  // 0 to 99999
    std::wstring path;    // the folder string followed by the file's name
};

// Replaces result with the qualifying files of folder, ascending by number:
// names of exactly five ASCII digits and a lower-case ".bmp" that are not
// folders. Each path is folder followed directly by the name, so folder must
// end with a path separator ('\\' or '/' on Windows, '/' elsewhere) or be
// empty for the current directory; any other folder string, and a folder that
// cannot be listed, give an empty result.
void ScanNumberedBitmaps(const std::wstring& folder, std::vector<NumberedBitmapFile>& result);
