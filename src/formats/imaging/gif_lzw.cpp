#include "formats/imaging/gif_lzw.h"

namespace zelvia::rt::imaging {

GifLzw::GifLzw(int minCodeSize, std::function<bool(const std::uint8_t*, int)> sink)
    : minCodeSize_(minCodeSize), clear_(1 << minCodeSize), emit_(std::move(sink)) {
    for (int i = 0; i < clear_; ++i) {
        const auto idx = static_cast<size_t>(i);
        suffix_[idx] = static_cast<std::uint8_t>(i);
        first_[idx] = static_cast<std::uint8_t>(i);
        length_[idx] = 1;
    }
    reset();
}

void GifLzw::reset() {
    codeSize_ = minCodeSize_ + 1;
    next_ = clear_ + 2;
    previous_ = -1;
}

bool GifLzw::feed(const std::uint8_t* data, int size) {
    for (int i = 0; i < size && !done_; ++i) {
        bits_ |= std::uint32_t{data[i]} << bitCount_;
        bitCount_ += 8;
        while (bitCount_ >= codeSize_ && !done_) {
            const auto c = static_cast<int>(bits_ & ((1u << codeSize_) - 1));
            bits_ >>= codeSize_;
            bitCount_ -= codeSize_;
            done_ = !code(c);
        }
    }
    return !done_;
}

bool GifLzw::code(int c) {
    if (c == clear_) {
        reset();
        return true;
    }
    if (c == clear_ + 1) {
        return false;
    }
    if (previous_ < 0) {
        if (c > clear_) {
            damaged_ = true;
            return false;
        }
        previous_ = c;
        const auto index = static_cast<std::uint8_t>(c);
        return emit_(&index, 1);
    }
    int walk = c;
    std::uint8_t firstOfNew = 0;
    if (c < next_) {
        firstOfNew = first_[static_cast<size_t>(c)];
    } else if (c == next_ && next_ < kMaxCodes) {
        // The code being defined: the previous string and its own first index.
        firstOfNew = first_[static_cast<size_t>(previous_)];
        walk = previous_;
    } else {
        damaged_ = true;
        return false;
    }
    if (next_ < kMaxCodes) {
        const auto n = static_cast<size_t>(next_);
        const auto p = static_cast<size_t>(previous_);
        prefix_[n] = static_cast<std::uint16_t>(previous_);
        suffix_[n] = firstOfNew;
        first_[n] = first_[p];
        length_[n] = static_cast<std::uint16_t>(length_[p] + 1);
        ++next_;
        if (next_ == (1 << codeSize_) && codeSize_ < 12) {
            ++codeSize_;
        }
    }
    previous_ = c;
    // The string of `c`, written back to front.
    const int length = length_[static_cast<size_t>(c)];
    int at = length;
    if (walk != c) {
        string_[static_cast<size_t>(--at)] = firstOfNew;
    }
    while (at > 0) {
        const auto w = static_cast<size_t>(walk);
        string_[static_cast<size_t>(--at)] = suffix_[w];
        walk = prefix_[w];
    }
    return emit_(string_.data(), length);
}

} // namespace zelvia::rt::imaging
