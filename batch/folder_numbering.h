// Which resource ID each file of a numbered folder gets, and what becomes of
// an ID the store already holds. Shared by importing a folder into the open
// container and by creating a new container from a folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "batch/numbered_scan.h"
#include "document/renumber.h"

// Numeric mode names each bitmap by its file's number; sequential mode counts
// up from a starting ID in the scan's order.
class FolderNumbering {
public:
    static FolderNumbering Numeric() { return FolderNumbering(true, 0); }
    // start must be a file ID (1 to 65535).
    static FolderNumbering Sequential(std::int32_t start) { return FolderNumbering(false, start); }

    // The ID of file, and the next sequential ID is spent. Nothing when the ID
    // falls outside 1 to 65535, which a container cannot name its bitmaps by
    // (00000.bmp, numbers from 65536 up, a sequential run past 65535); such a
    // file is left out and counted.
    std::optional<std::int32_t> Take(const NumberedBitmapFile& file);
    // How many files Take has refused so far.
    int leftOut() const { return leftOut_; }

private:
    FolderNumbering(bool numeric, std::int32_t next) : numeric_(numeric), next_(next) {}
    bool numeric_;
    std::int64_t next_;  // wide, so a run past the last ID never wraps
    int leftOut_ = 0;
};

// The information box that says how many files had no ID a container can
// hold, and how many ".png" files gave way to a ".bmp" of their number; empty
// when none was left out.
std::wstring LeftOutMessage(int leftOut, int shadowedPngs = 0);

// What an import does with an ID the store already holds, across one run:
// after Yes to All or No to All it asks no more. Dismissing the question
// (Esc, the close box) overwrites that one bitmap and asks again next time,
// as Yes does; so does a question that could not be shown, where the
// folder's file was asked for and is the newer content.
class OverwritePolicy {
public:
    bool NeedsQuestion() const { return !decided_; }
    // The decision already taken for every taken ID.
    bool OverwriteWithoutAsking() const { return overwriteAll_; }
    // Records the user's answer; true when the file is to be stored.
    bool Answer(OverwriteAnswer answer);

private:
    bool decided_ = false;
    bool overwriteAll_ = false;
};
