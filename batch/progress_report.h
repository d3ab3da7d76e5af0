// What a command that works through many files tells the user while it runs:
// whether its progress window is up yet, and the line it shows. Portable, so
// that the rules are tested as a table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A run that ends sooner shows no progress at all: a window that flashes up
// and away tells the user nothing.
inline constexpr std::uint64_t kProgressDelayMs = 500;

// After elapsedMs of work with done of total files handled: true once the run
// has gone on past the delay and files remain, so that a run ending at the
// delay opens no window only to close it.
bool ShowsProgress(std::uint64_t elapsedMs, std::size_t done, std::size_t total);

enum class ProgressVerb { Importing, Exporting };

// "Importing 1234 of 10000 bitmaps": the file being worked on, the one after
// the done ones, and never past total.
std::wstring ProgressText(ProgressVerb verb, std::size_t done, std::size_t total);
