// The bytes of one bitmap, held immutably and shared. Copying a payload (into
// the preview, another store, an undo of a failed command) copies a pointer;
// nothing can change the bytes a holder sees, so a replaced bitmap leaves
// whoever still shows the old one with the old bytes. A payload can also be a
// view into a larger block, such as a whole container file read in one go.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

class DibPayload {
public:
    using Bytes = std::vector<std::uint8_t>;
    using value_type = std::uint8_t;
    using const_iterator = const std::uint8_t*;
    using iterator = const_iterator;

    DibPayload() = default;
    // Takes the bytes over; implicit, so that a vector stands wherever a
    // payload is expected.
    DibPayload(Bytes bytes) { Own(std::move(bytes)); }  // NOLINT(google-explicit-constructor)
    DibPayload(std::initializer_list<std::uint8_t> bytes) { Own(Bytes(bytes)); }
    explicit DibPayload(std::size_t count, std::uint8_t value = 0) { Own(Bytes(count, value)); }
    template <std::input_iterator It>
    DibPayload(It first, It last) {
        Own(Bytes(first, last));
    }

    // size bytes at offset of a block that others share; the block lives as
    // long as any view of it. The caller has checked that they lie inside.
    static DibPayload View(std::shared_ptr<const Bytes> block, std::size_t offset,
                           std::size_t size) {
        const std::uint8_t* at = block->data() + offset;
        return View(std::move(block), at, size);
    }
    // size bytes at data, inside a block of any kind that owner keeps alive.
    static DibPayload View(std::shared_ptr<const void> owner, const std::uint8_t* data,
                           std::size_t size) {
        DibPayload p;
        p.data_ = data;
        p.size_ = size;
        p.owner_ = std::move(owner);
        return p;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const std::uint8_t* data() const { return data_; }
    const_iterator begin() const { return data_; }
    const_iterator end() const { return data_ + size_; }
    const std::uint8_t& operator[](std::size_t i) const { return data_[i]; }
    std::uint8_t back() const { return data_[size_ - 1]; }
    Bytes ToBytes() const { return Bytes(begin(), end()); }

    // The same bytes, not merely equal ones.
    bool SharesBytesWith(const DibPayload& other) const {
        return data_ == other.data_ && size_ == other.size_;
    }

    friend bool operator==(const DibPayload& a, const DibPayload& b) {
        return a.size_ == b.size_ &&
               (a.data_ == b.data_ || std::equal(a.begin(), a.end(), b.begin()));
    }

private:
    void Own(Bytes bytes) {
        auto block = std::make_shared<const Bytes>(std::move(bytes));
        data_ = block->data();
        size_ = block->size();
        owner_ = std::move(block);
    }

    std::shared_ptr<const void> owner_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
