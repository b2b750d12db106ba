// Values taken from a fuzz input in turn, as raw bytes: every bit pattern of a number can
// appear. Past the input's end every value is 0.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace camcab::fuzz {

class InputBytes {
  public:
    InputBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return position_ >= size_; }

    template <typename Value>
    Value Take() {
        Value value{};
        const size_t count = std::min(sizeof(Value), size_ - std::min(position_, size_));
        if (count > 0) {
            std::memcpy(&value, data_ + position_, count);
        }
        position_ += sizeof(Value);
        return value;
    }

    // A byte string of up to `longest` bytes, its length first.
    std::string TakeText(size_t longest) {
        const size_t length = std::min<size_t>(Take<uint8_t>(), longest);
        std::string text;
        while (text.size() < length && !Empty()) {
            text += static_cast<char>(Take<uint8_t>());
        }
        return text;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace camcab::fuzz
