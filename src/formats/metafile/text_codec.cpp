#include "formats/metafile/text_codec.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <mutex>

namespace zelvia::rt::metafile {

namespace {

bool isDoubleByteCharset(int charset) {
    return charset == 128 || charset == 129 || charset == 134 || charset == 136;
}

bool isLeadByte(int charset, unsigned char b) {
    if (charset == 128) {
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    }
    return b >= 0x81 && b <= 0xFE;
}

// What iconv_open returns on failure: the API defines it as (iconv_t)-1.
iconv_t failedConverter() {
    return reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
}

// One converter per code page, opened on first use and kept; iconv_t is not thread safe,
// so conversions are serialised.
class Converters {
public:
    ~Converters() {
        for (auto& [name, cd] : open_) {
            if (cd != failedConverter()) {
                iconv_close(cd);
            }
        }
    }

    // Converts one character's bytes; returns false when the code page has no such character.
    bool convert(const char* codePage, QByteArrayView in, QString* out) {
        const std::lock_guard lock(mutex_);
        auto it = open_.find(codePage);
        if (it == open_.end()) {
            it = open_.emplace(codePage, iconv_open("UTF-16LE", codePage)).first;
        }
        iconv_t cd = it->second;
        if (cd == failedConverter()) {
            return false;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        std::array<char, 16> buffer{};
        auto* src = const_cast<char*>(in.data());
        auto srcLeft = static_cast<std::size_t>(in.size());
        char* dst = buffer.data();
        std::size_t dstLeft = buffer.size();
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
            srcLeft != 0) {
            return false;
        }
        // Some code pages (Hebrew) hold a character back until they know no mark follows.
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        const auto produced = static_cast<qsizetype>(buffer.size() - dstLeft);
        for (qsizetype i = 0; i + 1 < produced; i += 2) {
            const auto lo = static_cast<unsigned char>(buffer[static_cast<std::size_t>(i)]);
            const auto hi = static_cast<unsigned char>(buffer[static_cast<std::size_t>(i + 1)]);
            out->append(QChar(static_cast<char16_t>(lo | (hi << 8))));
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::map<std::string, iconv_t> open_;
};

Converters& converters() {
    static Converters instance;
    return instance;
}

} // namespace

const char* codePageForCharset(int charset) {
    switch (charset) {
    case 128:
        return "CP932";
    case 129:
        return "CP949";
    case 134:
        return "CP936";
    case 136:
        return "CP950";
    case 161:
        return "CP1253";
    case 162:
        return "CP1254";
    case 177:
        return "CP1255";
    case 178:
        return "CP1256";
    case 186:
        return "CP1257";
    case 204:
        return "CP1251";
    case 238:
        return "CP1250";
    default:
        return "CP1252";
    }
}

DecodedText decodeCharsetText(QByteArrayView bytes, int charset) {
    DecodedText result;
    result.text.reserve(bytes.size());
    result.byteOfUnit.reserve(static_cast<std::size_t>(bytes.size()));
    const char* codePage = codePageForCharset(charset);
    const bool dbcs = isDoubleByteCharset(charset);
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        qsizetype len = 1;
        if (dbcs && isLeadByte(charset, b) && i + 1 < bytes.size()) {
            len = 2;
        }
        const qsizetype before = result.text.size();
        if (b < 0x80 && len == 1) {
            result.text.append(QChar(b));
        } else if (!converters().convert(codePage, bytes.sliced(i, len), &result.text)) {
            result.text.append(QChar(0xFFFD));
        }
        for (qsizetype u = before; u < result.text.size(); ++u) {
            result.byteOfUnit.push_back(static_cast<int>(i));
        }
        i += len;
    }
    return result;
}

} // namespace zelvia::rt::metafile

namespace zelvia::rt::metafile {

std::vector<double> advancesForUnits(const DecodedText& decoded, const std::vector<double>& perByte,
                                     qsizetype byteCount) {
    const std::size_t units = decoded.byteOfUnit.size();
    std::vector<double> result(units, 0.0);
    for (std::size_t u = 0; u < units; ++u) {
        const auto begin = static_cast<std::size_t>(decoded.byteOfUnit[u]);
        const std::size_t end = u + 1 < units ? static_cast<std::size_t>(decoded.byteOfUnit[u + 1])
                                              : static_cast<std::size_t>(byteCount);
        for (std::size_t b = begin; b < end && b < perByte.size(); ++b) {
            result[u] += perByte[b];
        }
    }
    return result;
}

} // namespace zelvia::rt::metafile
