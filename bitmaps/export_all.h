// Exporting bitmaps as five-digit-numbered .bmp files.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "document/container_doc.h"

// Joins folder and the name "%05d.bmp" with one separator (none is added when
// folder already ends with one; an empty folder gives the bare name). False,
// with path untouched, when the result would not fit a 260-unit UTF-16 path
// buffer with its terminator: such a path is never cut short.
// The name ends in extension: ".bmp", or ".png" for PNG exports.
bool NumberedBitmapPath(const std::wstring& folder, ResourceId id, std::wstring& path,
                        const wchar_t* extension = L".bmp");

// Told before each file how many are written, it may stop the export there
// (false); what was written stays.
using ExportStep = std::function<bool(std::size_t done)>;

// Writes every bitmap of the store into folder as %05d.bmp, ascending, as
// exported copies (WriteBitmapFile); stops at the first failure. An empty
// store writes nothing and succeeds; so does an export its step stopped.
bool ExportAllBitmaps(const ContainerDoc& doc, const std::wstring& folder,
                      const ExportStep& step = {});
