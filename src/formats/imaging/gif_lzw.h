#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace zelvia::rt::imaging {

// The variable-length LZW decoder of GIF image data. Feed it the bytes of the data
// sub-blocks in order; it hands out colour indices through `sink` as they are decoded and
// stops at the end code, at the first invalid code, or when `sink` returns false.
class GifLzw {
public:
    // `minCodeSize` must lie in 1..11.
    GifLzw(int minCodeSize, std::function<bool(const std::uint8_t* indices, int count)> sink);

    // Decodes what `data` holds; false once decoding has ended (end code, invalid code, or
    // the consumer had enough), after which further bytes are ignored.
    bool feed(const std::uint8_t* data, int size);
    [[nodiscard]] bool damaged() const { return damaged_; }

private:
    bool code(int c);
    void reset();

    static constexpr int kMaxCodes = 4096;
    int minCodeSize_;
    int clear_;
    int codeSize_ = 0;
    int next_ = 0;
    int previous_ = -1;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    bool done_ = false;
    bool damaged_ = false;
    std::function<bool(const std::uint8_t*, int)> emit_;
    std::array<std::uint16_t, kMaxCodes> prefix_{};
    std::array<std::uint8_t, kMaxCodes> suffix_{};
    std::array<std::uint8_t, kMaxCodes> first_{};
    std::array<std::uint16_t, kMaxCodes> length_{};
    std::array<std::uint8_t, kMaxCodes> string_{};
};

} // namespace zelvia::rt::imaging
