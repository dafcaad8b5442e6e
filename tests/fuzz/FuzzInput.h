// Fuzz targets: reads the fuzzer's bytes as a stream of small fields. Past the end every field reads
// as zero, so any prefix of an input is an input too.
#ifndef DYX_FUZZ_INPUT_H
#define DYX_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return position_ >= size_; }

    std::uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }

    // Little-endian, as the host's records are.
    std::uint16_t Word16() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }

    std::uint32_t Word32() {
        const std::uint32_t low = Word16();
        return low | static_cast<std::uint32_t>(Word16()) << 16;
    }

    // Up to count bytes: fewer when the input ends first.
    std::string Bytes(std::size_t count) {
        const std::size_t available = Empty() ? 0 : size_ - position_;
        const std::size_t taken = count < available ? count : available;
        std::string bytes(reinterpret_cast<const char*>(data_ + position_), taken);
        position_ += taken;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace fuzz

#endif
