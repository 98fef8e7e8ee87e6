#include "platform/fs/folder_listing.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "platform/fs/natural_sort.h"
#include "platform/fs/stat_entries.h"
#include "platform/fs/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

std::uint64_t g_passes = 0;

class OpenFolder {
public:
    explicit OpenFolder(const QString& folder) : path_(encodeFileName(folder)) {
        ++g_passes;
        if (path_.isEmpty() || path_.contains('\0')) {
            throw RuntimeError(err::FileNotFound);
        }
        const int fd = ::open(path_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            throw RuntimeError(errno == ENOENT ? err::FileNotFound : err::PathAccess);
        }
        dir_ = ::fdopendir(fd);
        if (dir_ == nullptr) {
            ::close(fd);
            throw RuntimeError(err::PathAccess);
        }
    }
    ~OpenFolder() { ::closedir(dir_); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    [[nodiscard]] int fd() const { return ::dirfd(dir_); }
    [[nodiscard]] const QByteArray& path() const { return path_; }

    // The next entry other than "." and "..", or null at the end; throws 75 on a read error.
    const dirent* next() {
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir_);
            if (entry == nullptr) {
                if (errno != 0) {
                    throw RuntimeError(err::PathAccess);
                }
                return nullptr;
            }
            const char* n = entry->d_name;
            if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) {
                continue;
            }
            return entry;
        }
    }

private:
    QByteArray path_;
    DIR* dir_ = nullptr;
};

// Whether the entry may be what we want, judged from d_type without a system call.
bool mayBe(const dirent* entry, unsigned char wanted) {
    return entry->d_type == wanted || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QByteArray rawView(std::string_view bytes) {
    return QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Puts items[order[k]] at k, in place: a second copy of a large listing costs more in fresh
// memory than the moves do.
template <typename T> void permute(std::vector<T>& items, std::vector<std::size_t> order) {
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) {
            continue;
        }
        T held = std::move(items[start]);
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            items[at] = std::move(items[from]);
            order[at] = at; // done
            at = from;
        }
        items[at] = std::move(held);
        order[at] = at;
    }
}

// The subfolders met on the way, with their sort keys; all-ASCII names, the common case, skip
// the general decoding and folding.
struct Subfolders {
    std::vector<QString> names;
    NaturalOrder order;

    void add(std::string_view bytes) {
        if (isAscii(bytes)) {
            order.addAscii(bytes);
            names.push_back(
                QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
            return;
        }
        names.push_back(decodeFileName(rawView(bytes)));
        order.addFolded(names.back().toCaseFolded(), bytes);
    }
    std::vector<QString> sorted() {
        permute(names, order.order());
        return std::move(names);
    }
};

// The entries of one pass that need a look at their inode: regular files, links and entries
// of unknown type. Their raw names share one buffer with a NUL after each, so a large folder
// costs few allocations besides the names the lists keep.
struct Pending {
    struct Entry {
        std::size_t offset = 0;
        std::uint32_t length = 0;
        std::int32_t decoded = -1; // index into `names` and `folded`, or -1 for an ASCII name
        bool matches = false;      // a file that passes the pattern
        bool mayBeFolder = false;  // a subfolder the folder list wants, if it is one
    };
    std::string raw;
    std::vector<Entry> entries;
    std::vector<QString> names; // the names that are not all ASCII, decoded once
    std::vector<QString> folded;

    [[nodiscard]] std::string_view bytesOf(const Entry& e) const {
        return std::string_view(raw).substr(e.offset, e.length);
    }
    // Moves a decoded name out: each is taken once.
    [[nodiscard]] QString nameOf(const Entry& e) {
        if (e.decoded >= 0) {
            return std::move(names[static_cast<std::size_t>(e.decoded)]);
        }
        const std::string_view bytes = bytesOf(e);
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    void addTo(NaturalOrder& order, const Entry& e) const {
        if (e.decoded >= 0) {
            order.addFolded(folded[static_cast<std::size_t>(e.decoded)], bytesOf(e));
        } else {
            order.addAscii(bytesOf(e));
        }
    }
};

// One pass over the folder; subfolders are gathered only when `subfolders` is given.
std::vector<QString> listIn(const QString& folder, const QString& pattern, ListFlags flags,
                            std::vector<QString>* subfolders) {
    OpenFolder dir(folder);
    const WildcardPattern wildcard(pattern);
    Subfolders folders;
    Pending pending;
    while (const dirent* entry = dir.next()) {
        const std::string_view bytes(entry->d_name);
        const bool wantedFolder = subfolders != nullptr && bytes[0] != '.';
        if (entry->d_type == DT_DIR) {
            if (wantedFolder) {
                folders.add(bytes);
            }
            continue;
        }
        if (!mayBe(entry, DT_REG)) {
            continue;
        }
        Pending::Entry e{pending.raw.size(), static_cast<std::uint32_t>(bytes.size())};
        e.mayBeFolder = wantedFolder && entry->d_type != DT_REG;
        const bool ascii = isAscii(bytes);
        QString name;
        QString foldedName;
        if (ascii) {
            e.matches = wildcard.matchesAscii(bytes);
        } else {
            name = decodeFileName(rawView(bytes));
            foldedName = name.toCaseFolded();
            e.matches = wildcard.matchesFolded(foldedName);
        }
        if (!e.matches && !e.mayBeFolder) {
            continue;
        }
        if (!ascii) {
            e.decoded = static_cast<std::int32_t>(pending.names.size());
            pending.names.push_back(std::move(name));
            pending.folded.push_back(std::move(foldedName));
        }
        pending.entries.push_back(e);
        pending.raw.append(bytes);
        pending.raw.push_back('\0');
    }

    // The buffer no longer grows: its names can be handed on as C strings.
    std::vector<const char*> cNames;
    cNames.reserve(pending.entries.size());
    for (const Pending::Entry& e : pending.entries) {
        cNames.push_back(pending.raw.data() + e.offset);
    }
    // The attributes a file's name and mode give, without its DOS bits.
    const auto ownAttributes = [&](const Pending::Entry& e, unsigned mode) {
        DosBitsSource none = DosBitsSource::None;
        return fileAttributesAt(dir.fd(), dir.path(), rawView(pending.bytesOf(e)), mode, none);
    };
    // Follows links: dangling and looping ones fail here and are left out. A hidden or system
    // file may sit anywhere in a folder, so every file's own DOS bits are read, unless its
    // name and mode already decide whether it is listed.
    const std::vector<EntryFacts> facts = examineEntries(
        dir.fd(), dir.path(), cNames, dosBitsSourceForFolder(dir.fd()),
        [&](std::size_t k, unsigned mode) {
            const Pending::Entry& e = pending.entries[k];
            return e.matches && dosBitsCanDecide(ownAttributes(e, mode), flags);
        },
        listingThreads());

    std::vector<std::size_t> files; // indices of the regular files that match, as met
    files.reserve(pending.entries.size());
    for (std::size_t k = 0; k < pending.entries.size(); ++k) {
        const Pending::Entry& e = pending.entries[k];
        if (e.mayBeFolder && S_ISDIR(facts[k].mode)) {
            folders.add(pending.bytesOf(e));
        } else if (e.matches && S_ISREG(facts[k].mode)) {
            files.push_back(k);
        }
    }

    NaturalOrder order;
    order.reserve(files.size(), pending.raw.size());
    std::vector<QString> found; // in the order met, so the names are read in memory order
    found.reserve(files.size());
    for (const std::size_t k : files) {
        const Pending::Entry& e = pending.entries[k];
        const quint32 dosBits = facts[k].dosBits & (attr::Hidden | attr::System | attr::Archive);
        if (isListed(ownAttributes(e, facts[k].mode) | dosBits, flags)) {
            pending.addTo(order, e);
            found.push_back(pending.nameOf(e));
        }
    }
    permute(found, order.order());
    if (subfolders != nullptr) {
        *subfolders = folders.sorted();
    }
    return found;
}

} // namespace

std::uint64_t folderPassCount() {
    return g_passes;
}

std::vector<QString> listFiles(const QString& folder, const QString& pattern, ListFlags flags) {
    return listIn(folder, pattern, flags, nullptr);
}

FolderContents listFolder(const QString& folder, const QString& pattern, ListFlags flags) {
    FolderContents contents;
    contents.files = listIn(folder, pattern, flags, &contents.subfolders);
    return contents;
}

std::vector<QString> listSubfolders(const QString& folder) {
    OpenFolder dir(folder);
    Subfolders folders;
    while (const dirent* entry = dir.next()) {
        if (entry->d_name[0] == '.' || !mayBe(entry, DT_DIR)) {
            continue;
        }
        if (entry->d_type != DT_DIR) {
            struct stat st {};
            if (::fstatat(dir.fd(), entry->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) {
                continue;
            }
        }
        folders.add(entry->d_name);
    }
    return folders.sorted();
}

} // namespace zelvia::rt
