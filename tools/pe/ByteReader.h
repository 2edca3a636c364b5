// Little-endian reads over untrusted bytes. Every check is written `n > len - off` so that
// nothing wraps on a 32-bit host; a failed read returns 0 and sticks, so a caller checks Ok()
// once per record instead of after every field.
#pragma once
#include <stddef.h>
#include <stdint.h>

class ByteReader {
  public:
    ByteReader(const uint8_t* bytes, size_t length) : bytes_(bytes), length_(length) {}

    bool Has(size_t offset, size_t count) {
        if (offset > length_ || count > length_ - offset) failed_ = true;
        return !failed_;
    }
    uint8_t U8(size_t offset) { return Has(offset, 1) ? bytes_[offset] : 0; }
    uint16_t U16(size_t offset) {
        if (!Has(offset, 2)) return 0;
        return uint16_t(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    uint32_t U32(size_t offset) {
        if (!Has(offset, 4)) return 0;
        return uint32_t(bytes_[offset]) | uint32_t(bytes_[offset + 1]) << 8 |
               uint32_t(bytes_[offset + 2]) << 16 | uint32_t(bytes_[offset + 3]) << 24;
    }
    bool Ok() const { return !failed_; }
    size_t Length() const { return length_; }
    const uint8_t* Bytes() const { return bytes_; }

  private:
    const uint8_t* bytes_;
    size_t length_;
    bool failed_ = false;
};

inline void PutU16(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

inline void PutU32(uint8_t* at, uint32_t value) {
    PutU16(at, value);
    PutU16(at + 2, value >> 16);
}
