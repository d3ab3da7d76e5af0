#include "batch/progress_report.h"

#include <algorithm>

bool ShowsProgress(std::uint64_t elapsedMs, std::size_t done, std::size_t total) {
    return elapsedMs > kProgressDelayMs && done < total;
}

std::wstring ProgressText(ProgressVerb verb, std::size_t done, std::size_t total) {
    const std::size_t current = std::min(done + 1, total);
    return std::wstring(verb == ProgressVerb::Importing ? L"Importing " : L"Exporting ") +
           std::to_wstring(current) + L" of " + std::to_wstring(total) +
           (total == 1 ? L" bitmap" : L" bitmaps");
}
