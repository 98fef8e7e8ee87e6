#include "runtime/fs/folder_listing.h"

#include "runtime/fs/native_path.h"
#include "runtime/fs/natural_sort.h"
#include "runtime/fs/wildcard.h"
#include "runtime/runtime_error.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvia::rt {

namespace {

// Reading DOS attributes costs one or more system calls per file (an extended attribute, or
// open + ioctl + close on FAT), as much again as the listing's own fstatat. One rule for every
// source: folders up to this size are read in full; in larger ones the first files in
// directory order decide, and when none of them has a bit that can change the listing, the
// rest are not asked either.
constexpr std::size_t ReadAllDosBitsUpTo = 4096;
constexpr std::size_t DosBitsSample = 512;

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

bool isAscii(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// decodeFileName, with a shortcut for the common all-ASCII name.
QString decodeName(const QByteArray& bytes, bool ascii) {
    return ascii ? QString::fromLatin1(bytes) : decodeFileName(bytes);
}

// The sort key; all-ASCII names skip building a folded copy.
NaturalSortKey sortKey(const QString& name, QByteArray bytes, bool ascii, QString folded = {}) {
    if (ascii) {
        return NaturalSortKey::fromAscii(std::move(bytes));
    }
    return {folded.isNull() ? name.toCaseFolded() : std::move(folded), std::move(bytes)};
}

struct Candidate {
    QByteArray bytes;
    QString name;
    QString folded; // only when the pattern needs it
    bool ascii = true;
    unsigned mode = 0;
};

template <typename T>
void applyOrder(std::vector<T>& items, const std::vector<std::size_t>& order) {
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const std::size_t k : order) {
        sorted.push_back(std::move(items[k]));
    }
    items = std::move(sorted);
}

// A subfolder's name, when the entry is one that the folder list shows.
void addSubfolder(const dirent* entry, std::vector<QString>& folders,
                  std::vector<NaturalSortKey>& keys) {
    QByteArray bytes(entry->d_name);
    const bool ascii = isAscii(bytes);
    folders.push_back(decodeName(bytes, ascii));
    keys.push_back(sortKey(folders.back(), std::move(bytes), ascii));
}

// One pass over the folder; subfolders are gathered only when `subfolders` is given.
std::vector<ListedFile> listIn(const QString& folder, const QString& pattern, ListFlags flags,
                               std::vector<QString>* subfolders) {
    OpenFolder dir(folder);
    const WildcardPattern wildcard(pattern);
    std::vector<Candidate> candidates;
    std::vector<NaturalSortKey> folderKeys;
    while (const dirent* entry = dir.next()) {
        if (subfolders != nullptr && entry->d_name[0] != '.' && mayBe(entry, DT_DIR)) {
            if (entry->d_type == DT_DIR) {
                addSubfolder(entry, *subfolders, folderKeys);
                continue;
            }
            struct stat st {};
            if (::fstatat(dir.fd(), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
                addSubfolder(entry, *subfolders, folderKeys);
                continue;
            }
        }
        if (!mayBe(entry, DT_REG)) {
            continue;
        }
        Candidate c;
        c.bytes = QByteArray(entry->d_name);
        c.ascii = isAscii(c.bytes);
        c.name = decodeName(c.bytes, c.ascii);
        if (!wildcard.matchesEverything()) {
            c.folded = c.name.toCaseFolded();
            if (!wildcard.matchesFolded(c.folded)) {
                continue;
            }
        }
        struct stat st {};
        // Follows links: dangling and looping ones fail here and are left out.
        if (::fstatat(dir.fd(), entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        c.mode = static_cast<unsigned>(st.st_mode);
        candidates.push_back(std::move(c));
    }

    DosBitsSource source = dosBitsSourceForFolder(dir.fd());
    const bool sampleOnly = candidates.size() > ReadAllDosBitsUpTo;
    bool anyDosBits = false;
    std::vector<ListedFile> files;
    std::vector<NaturalSortKey> keys;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        Candidate& c = candidates[i];
        if (sampleOnly && i == DosBitsSample && !anyDosBits) {
            source = DosBitsSource::None;
        }
        DosBitsSource none = DosBitsSource::None;
        quint32 attributes = fileAttributesAt(dir.fd(), dir.path(), c.bytes, c.mode, none);
        if (const auto dos = readDosBits(dir.fd(), dir.path(), c.bytes, source)) {
            anyDosBits = anyDosBits || dosBitsMatter(*dos, flags);
            attributes |= *dos & (attr::Hidden | attr::System | attr::Archive);
        }
        if (isListed(attributes, flags)) {
            keys.push_back(sortKey(c.name, std::move(c.bytes), c.ascii, std::move(c.folded)));
            files.push_back({std::move(c.name), attributes});
        }
    }
    applyOrder(files, naturalOrder(keys));
    if (subfolders != nullptr) {
        applyOrder(*subfolders, naturalOrder(folderKeys));
    }
    return files;
}

} // namespace

std::uint64_t folderPassCount() {
    return g_passes;
}

std::vector<ListedFile> listFiles(const QString& folder, const QString& pattern, ListFlags flags) {
    return listIn(folder, pattern, flags, nullptr);
}

FolderContents listFolder(const QString& folder, const QString& pattern, ListFlags flags) {
    FolderContents contents;
    contents.files = listIn(folder, pattern, flags, &contents.subfolders);
    return contents;
}

std::vector<QString> listSubfolders(const QString& folder) {
    OpenFolder dir(folder);
    std::vector<QString> folders;
    std::vector<NaturalSortKey> keys;
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
        QByteArray bytes(entry->d_name);
        const bool ascii = isAscii(bytes);
        folders.push_back(decodeName(bytes, ascii));
        keys.push_back(sortKey(folders.back(), std::move(bytes), ascii));
    }
    applyOrder(folders, naturalOrder(keys));
    return folders;
}

} // namespace zelvia::rt
