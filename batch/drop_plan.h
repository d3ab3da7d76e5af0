// What the editor does with files dropped on its window from the file
// manager. Portable, so that every kind of drop is tested as a table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/numbered_scan.h"
#include "document/container_doc.h"

enum class DroppedContent { Container, Image, Other };

// A container by its ".obk" name (any case), as the Open picker lists them;
// an image by its first bytes (a .bmp file header or the PNG signature),
// whatever its name, as Add takes them; else neither. head is the file's
// start, at least 14 bytes when the file has them.
DroppedContent ClassifyDroppedFile(const std::wstring& path, const std::vector<std::uint8_t>& head);

struct DroppedFile {
    std::wstring path;
    DroppedContent content = DroppedContent::Other;
};

enum class DropAction { Nothing, Open, Add, Replace, Import };

struct DropPlan {
    DropAction action = DropAction::Nothing;
    std::wstring file;                         // what Open, Add and Replace take
    std::vector<NumberedBitmapFile> numbered;  // what Import takes, as a folder scan lists them
    std::vector<std::wstring> refused;         // the names of the files not taken, in drop order
};

// One container is opened. One image is added, or replaces the bitmap of the
// row it was dropped on. Of several files, the images named by five digits
// and ".bmp" or ".png" are imported under their numbers. Every other file is
// refused.
DropPlan PlanDrop(const std::vector<DroppedFile>& files, bool onRow);

// The one message that lists the refused files and says what a drop takes.
std::wstring DropRefusalMessage(const std::vector<std::wstring>& refused);

// Asked before a dropped image replaces a bitmap: "Replace bitmap 00012
// with photo.png?".
std::wstring ReplaceDropQuestion(ResourceId id, const std::wstring& path);
