// Container files as image sources, with wide paths on every platform.
#pragma once

#include <fstream>
#include <string>

#include "document/pe_format.h"

// An open container file. Its source reads from the stream, so the record
// stays where it was opened (it is neither copied nor moved).
struct ImageFile {
    std::ifstream stream;
    pe::ImageSource source;

    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
};

// Opens path for reading as an image source. False when it cannot be opened
// or its size cannot be told.
bool OpenImageFile(const std::wstring& path, ImageFile& file);

// Whether anything (a file or a folder) is at path.
bool PathExists(const std::wstring& path);
