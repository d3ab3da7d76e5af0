// Listing the five-digit-numbered .bmp and .png files of a folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct NumberedBitmapFile {
    std::int32_t number;  // 0 to 99999
    std::wstring path;    // the folder string followed by the file's name
    bool png = false;     // named ".png" rather than ".bmp"
};

// Replaces result with the qualifying files of folder, ascending by number:
// names of exactly five ASCII digits and a lower-case ".bmp" or ".png" that
// are not folders, a number's ".bmp" before its ".png". Each path is folder followed directly by
// the name, so folder must end with a path separator ('\\' or '/' on Windows, '/' elsewhere) or be
// empty for the current directory; any other folder string, and a folder that
// cannot be listed, give an empty result. With anyCase, ".BMP" and every
// other spelling qualify too: what a folder already holds under a name the
// file system takes as the same one.
void ScanNumberedBitmaps(const std::wstring& folder, std::vector<NumberedBitmapFile>& result,
                         bool anyCase = false);

// True for a file name (no folder) of five ASCII digits and ".bmp" or ".png",
// lower-case unless anyCase; number and png then tell which.
bool ParseNumberedName(const std::wstring& name, std::int32_t& number, bool& png,
                       bool anyCase = false);

// The scan's order: by number, a number's ".bmp" before its ".png".
bool InScanOrder(const NumberedBitmapFile& a, const NumberedBitmapFile& b);

// What an import takes of a scan: one file per number, its ".bmp" where it
// has both; returns how many ".png" files that leaves out.
std::size_t TakeBitmapsOverPngs(std::vector<NumberedBitmapFile>& files);

// Whether the platform's file names ignore case: "00001.BMP" is then the
// file that "00001.bmp" names.
#ifdef _WIN32
inline constexpr bool kFileNamesIgnoreCase = true;
#else
inline constexpr bool kFileNamesIgnoreCase = false;
#endif
