#include "formats/peicon/pe_icon.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "formats/imaging/icon_image.h"
#include "formats/peicon/large_icon.h"
#include "formats/peicon/pe_layout.h"
#include "formats/peicon/resource_tree.h"

#include <algorithm>

namespace zelvia::rt {

namespace pe {

namespace {

// Real groups hold a dozen images at most; the caps keep hostile files cheap.
constexpr std::size_t kMaxGroupEntries = 64;
constexpr std::uint32_t kMaxGroupBytes = 6 + 14 * 0xFFFF;
// A 1024 x 1024 image of 32 bits with its mask, the largest icon decoded, fits in 8 MiB.
constexpr std::uint32_t kMaxIconBytes = 8 * 1024 * 1024;
constexpr std::size_t kMaxDecodeAttempts = 4;
constexpr qint64 kMaxTotalIconBytes = qint64{24} * 1024 * 1024;

} // namespace

std::vector<IconCandidate> largeIconCandidates(const ByteSource& source) {
    std::vector<IconCandidate> candidates;
    const auto layout = PeLayout::read(source);
    if (!layout || !layout->resourceDirectory()) {
        return candidates;
    }
    const ResourceTree tree(source, *layout);
    const auto groups = tree.typeDirectory(kRtGroupIcon);
    if (!groups) {
        return candidates;
    }
    const auto group = tree.firstData(*groups, kMaxGroupBytes);
    if (!group) {
        return candidates;
    }
    const std::vector<GroupEntry> entries = parseIconGroup(*group, kMaxGroupEntries);
    if (entries.empty()) {
        return candidates;
    }
    const auto icons = tree.typeDirectory(kRtIcon);
    if (!icons) {
        return candidates;
    }
    qint64 totalBytes = 0;
    for (const GroupEntry& listed : entries) {
        auto data = tree.dataById(*icons, listed.iconId, kMaxIconBytes);
        if (data) {
            totalBytes += data->size();
            if (totalBytes > kMaxTotalIconBytes) {
                break;
            }
            if (const auto real = describeIconImage(*data, listed)) {
                candidates.push_back({*real, std::move(*data)});
            }
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const IconCandidate& a, const IconCandidate& b) {
                         return preferredAsLargeIcon(a.image, b.image);
                     });
    return candidates;
}

QImage extractLargeIcon(const ByteSource& source) {
    const std::vector<IconCandidate> candidates = largeIconCandidates(source);
    const std::size_t attempts = std::min(candidates.size(), kMaxDecodeAttempts);
    for (std::size_t i = 0; i < attempts; ++i) {
        QImage image = decodeIconImage(candidates[i].data);
        if (!image.isNull()) {
            return image;
        }
    }
    return {};
}

} // namespace pe

QImage extractLargeIcon(QByteArrayView file) {
    // The view outlives the source, which only lives for this call.
    const auto source = imaging::memorySource(QByteArray::fromRawData(file.data(), file.size()));
    return pe::extractLargeIcon(*source);
}

QImage extractLargeIconFromFile(const QString& path) {
    try {
        const ReadOnlyFile file(path);
        return pe::extractLargeIcon(*imaging::fileSource(file));
    } catch (const RuntimeError&) {
        return {};
    }
}

} // namespace zelvia::rt
