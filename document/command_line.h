// What the words on the editor's command line ask of it. Portable, so that
// each reading is tested as a table.
#pragma once

#include <string>
#include <vector>

// The container to open at start-up, from the command line split into words
// with the program's own name first: the first word after the name. Empty,
// so that the editor starts with no file, when there is none or it is empty
// (`Orvix.exe ""`). A shell that passes several names gets the first opened;
// one window holds one container.
std::wstring ContainerToOpenAtStart(const std::vector<std::wstring>& words);
