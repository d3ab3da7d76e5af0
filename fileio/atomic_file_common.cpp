#include <vector>

#include "fileio/atomic_file.h"

bool WriteFileAtomically(const std::wstring& path, std::span<const std::uint8_t> bytes,
                         AtomicWriteBatch* batch) {
    return WriteFileAtomically(
        path, [bytes](const AtomicWriteSink& sink) { return sink(bytes); }, batch);
}
