#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tkan {

// Reads little-endian fields from a byte buffer that may be shorter than its
// own header claims. Numbers past the end read as zero and texts end with the
// buffer, as the missing bytes of a short file do.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Position() const { return pos_; }
    std::size_t Remaining() const { return size_ - pos_; }
    std::size_t Size() const { return size_; }
    const std::uint8_t* Here() const { return data_ + pos_; }

    // Offsets are 32-bit in the file; past the end means "nothing there".
    void Seek(std::uint64_t offset) { pos_ = offset > size_ ? size_ : static_cast<std::size_t>(offset); }
    void Skip(std::size_t count) { Seek(static_cast<std::uint64_t>(pos_) + count); }

    std::uint32_t U32()
    {
        std::uint8_t b[4] = {};
        Take(b, sizeof b);
        return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    }

    std::uint64_t U64()
    {
        std::uint8_t b[8] = {};
        Take(b, sizeof b);
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = bits << 8 | b[i];
        return bits;
    }

    double F64()
    {
        const std::uint64_t bits = U64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // As much of a `length`-byte text as is left; false when it is cut short.
    bool Text(std::uint64_t length, std::string& out)
    {
        std::size_t n = length < Remaining() ? static_cast<std::size_t>(length) : Remaining();
        out.assign(reinterpret_cast<const char*>(Here()), n);
        pos_ += n;
        return n == length;
    }

    // Copies up to `count` bytes into `out` and zero-fills the rest.
    void Take(std::uint8_t* out, std::size_t count)
    {
        std::size_t n = count < Remaining() ? count : Remaining();
        if (n > 0)
            std::memcpy(out, Here(), n);
        if (count > n)
            std::memset(out + n, 0, count - n);
        pos_ += n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Appends little-endian fields, and patches them at a given offset.
class ByteWriter {
public:
    std::vector<std::uint8_t> bytes;

    std::size_t Size() const { return bytes.size(); }
    void U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U64(std::uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void F64(double value)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        U64(bits);
    }
    void Raw(const void* data, std::size_t length)
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + length);
    }
    void Text(const std::string& text) { Raw(text.data(), text.size()); }
    void PatchU32(std::size_t offset, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

}  // namespace tkan
