#include "document/command_line.h"

std::wstring ContainerToOpenAtStart(const std::vector<std::wstring>& words) {
    return words.size() > 1 ? words[1] : std::wstring();
}
