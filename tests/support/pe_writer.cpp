#include "support/pe_writer.h"

#include <QtEndian>
#include <algorithm>

namespace zelvia::test {

namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kHeadersSize = 0x400;
constexpr std::uint32_t kCodeRva = 0x1000;
constexpr std::uint32_t kResourceRva = 0x3000;
constexpr std::uint32_t kNtOffset = 0x80;

void put16(QByteArray& b, std::uint32_t at, std::uint32_t v) {
    qToLittleEndian(static_cast<quint16>(v), b.data() + at);
}
void put32(QByteArray& b, std::uint32_t at, std::uint32_t v) {
    qToLittleEndian(static_cast<quint32>(v), b.data() + at);
}
std::uint32_t alignUp(std::uint32_t v, std::uint32_t a) {
    return (v + a - 1) / a * a;
}

bool keyLess(const ResourceKey& a, const ResourceKey& b) {
    const bool namedA = !a.name.isEmpty();
    const bool namedB = !b.name.isEmpty();
    if (namedA != namedB) {
        return namedA;
    }
    return namedA ? a.name < b.name : a.id < b.id;
}
bool keyEqual(const ResourceKey& a, const ResourceKey& b) {
    return a.name == b.name && a.id == b.id;
}

struct Lang {
    std::uint16_t language;
    QByteArray data;
    std::uint32_t entryOffset = 0;
    std::uint32_t dataOffset = 0;
};
struct Name {
    ResourceKey key;
    std::vector<Lang> langs;
    std::uint32_t dirOffset = 0;
    std::uint32_t stringOffset = 0;
};
struct Type {
    ResourceKey key;
    std::vector<Name> names;
    std::uint32_t dirOffset = 0;
    std::uint32_t stringOffset = 0;
};

std::vector<Type> groupResources(const std::vector<PeResource>& resources) {
    std::vector<Type> types;
    for (const PeResource& r : resources) {
        auto t = std::find_if(types.begin(), types.end(),
                              [&](const Type& x) { return keyEqual(x.key, r.type); });
        if (t == types.end()) {
            t = types.insert(types.end(), Type{r.type, {}});
        }
        auto n = std::find_if(t->names.begin(), t->names.end(),
                              [&](const Name& x) { return keyEqual(x.key, r.name); });
        if (n == t->names.end()) {
            n = t->names.insert(t->names.end(), Name{r.name, {}});
        }
        n->langs.push_back(Lang{r.language, r.data});
    }
    std::sort(types.begin(), types.end(),
              [](const Type& a, const Type& b) { return keyLess(a.key, b.key); });
    for (Type& t : types) {
        std::sort(t.names.begin(), t.names.end(),
                  [](const Name& a, const Name& b) { return keyLess(a.key, b.key); });
    }
    return types;
}

std::uint32_t stringSize(const ResourceKey& k) {
    return k.name.isEmpty() ? 0 : alignUp(static_cast<std::uint32_t>(2 + 2 * k.name.size()), 4);
}

template <typename Child>
void writeDirectory(QByteArray& sec, std::uint32_t at, const std::vector<Child>& children,
                    auto targetOf) {
    const auto named = std::count_if(children.begin(), children.end(),
                                     [](const Child& c) { return !c.key.name.isEmpty(); });
    put16(sec, at + 12, static_cast<std::uint32_t>(named));
    put16(sec, at + 14,
          static_cast<std::uint32_t>(children.size()) - static_cast<std::uint32_t>(named));
    std::uint32_t e = at + 16;
    for (const Child& c : children) {
        put32(sec, e, c.key.name.isEmpty() ? c.key.id : (0x80000000u | c.stringOffset));
        put32(sec, e + 4, targetOf(c));
        e += 8;
    }
}

void writeString(QByteArray& sec, std::uint32_t at, const QString& s) {
    put16(sec, at, static_cast<std::uint32_t>(s.size()));
    for (qsizetype i = 0; i < s.size(); ++i) {
        put16(sec, at + 2 + 2 * static_cast<std::uint32_t>(i), s[i].unicode());
    }
}

QByteArray resourceSection(std::vector<Type>& types, std::vector<std::uint32_t>& dirs) {
    std::uint32_t cursor = 16 + 8 * static_cast<std::uint32_t>(types.size());
    dirs.push_back(0);
    for (Type& t : types) {
        t.dirOffset = cursor;
        dirs.push_back(cursor);
        cursor += 16 + 8 * static_cast<std::uint32_t>(t.names.size());
    }
    for (Type& t : types) {
        for (Name& n : t.names) {
            n.dirOffset = cursor;
            dirs.push_back(cursor);
            cursor += 16 + 8 * static_cast<std::uint32_t>(n.langs.size());
        }
    }
    for (Type& t : types) {
        for (Name& n : t.names) {
            for (Lang& l : n.langs) {
                l.entryOffset = cursor;
                cursor += 16;
            }
        }
    }
    for (Type& t : types) {
        t.stringOffset = cursor;
        cursor += stringSize(t.key);
        for (Name& n : t.names) {
            n.stringOffset = cursor;
            cursor += stringSize(n.key);
        }
    }
    for (Type& t : types) {
        for (Name& n : t.names) {
            for (Lang& l : n.langs) {
                cursor = alignUp(cursor, 8);
                l.dataOffset = cursor;
                cursor += static_cast<std::uint32_t>(l.data.size());
            }
        }
    }

    QByteArray sec(static_cast<qsizetype>(cursor), '\0');
    writeDirectory(sec, 0, types, [](const Type& t) { return 0x80000000u | t.dirOffset; });
    for (const Type& t : types) {
        writeDirectory(sec, t.dirOffset, t.names,
                       [](const Name& n) { return 0x80000000u | n.dirOffset; });
        if (!t.key.name.isEmpty()) {
            writeString(sec, t.stringOffset, t.key.name);
        }
        for (const Name& n : t.names) {
            const auto named = 0;
            put16(sec, n.dirOffset + 12, named);
            put16(sec, n.dirOffset + 14, static_cast<std::uint32_t>(n.langs.size()));
            std::uint32_t e = n.dirOffset + 16;
            for (const Lang& l : n.langs) {
                put32(sec, e, l.language);
                put32(sec, e + 4, l.entryOffset);
                e += 8;
                put32(sec, l.entryOffset, kResourceRva + l.dataOffset);
                put32(sec, l.entryOffset + 4, static_cast<std::uint32_t>(l.data.size()));
                std::copy(l.data.begin(), l.data.end(), sec.begin() + l.dataOffset);
            }
            if (!n.key.name.isEmpty()) {
                writeString(sec, n.stringOffset, n.key.name);
            }
        }
    }
    return sec;
}

} // namespace

BuiltPe buildPe(const std::vector<PeResource>& resources, bool pe32Plus) {
    BuiltPe out;
    std::vector<Type> types = groupResources(resources);
    const QByteArray rsrc = resourceSection(types, out.directoryOffsets);
    const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
    const std::uint32_t codeRaw = kHeadersSize;
    const std::uint32_t codeSize = kFileAlignment;
    const std::uint32_t rsrcRaw = codeRaw + codeSize;
    const std::uint32_t rsrcRawSize = alignUp(rsrcSize, kFileAlignment);

    QByteArray b(static_cast<qsizetype>(rsrcRaw + (resources.empty() ? 0 : rsrcRawSize)), '\0');
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, kNtOffset);
    const std::uint32_t optionalSize = pe32Plus ? 240 : 224;
    const std::uint16_t sectionCount = resources.empty() ? 1 : 2;
    b.replace(kNtOffset, 4, QByteArray("PE\0\0", 4));
    put16(b, kNtOffset + 4, pe32Plus ? 0x8664 : 0x14C);
    put16(b, kNtOffset + 6, sectionCount);
    put16(b, kNtOffset + 20, optionalSize);
    put16(b, kNtOffset + 22, 0x0102);

    const std::uint32_t opt = kNtOffset + 24;
    put16(b, opt, pe32Plus ? 0x20B : 0x10B);
    put32(b, opt + 16, kCodeRva);
    put32(b, opt + 32, kSectionAlignment);
    put32(b, opt + 36, kFileAlignment);
    put32(b, opt + 56, kResourceRva + alignUp(rsrcSize, kSectionAlignment));
    put32(b, opt + 60, kHeadersSize);
    const std::uint32_t countAt = opt + (pe32Plus ? 108 : 92);
    put32(b, countAt, 16);
    if (!resources.empty()) {
        put32(b, countAt + 4 + 2 * 8, kResourceRva);
        put32(b, countAt + 4 + 2 * 8 + 4, rsrcSize);
    }

    const std::uint32_t table = opt + optionalSize;
    b.replace(table, 5, ".text");
    put32(b, table + 8, codeSize);
    put32(b, table + 12, kCodeRva);
    put32(b, table + 16, codeSize);
    put32(b, table + 20, codeRaw);
    if (!resources.empty()) {
        b.replace(table + 40, 5, ".rsrc");
        put32(b, table + 48, rsrcSize);
        put32(b, table + 52, kResourceRva);
        put32(b, table + 56, rsrcRawSize);
        put32(b, table + 60, rsrcRaw);
        b.replace(rsrcRaw, rsrc.size(), rsrc);
    }
    out.bytes = b;
    out.resourceFileOffset = rsrcRaw;
    out.resourceRva = kResourceRva;
    return out;
}

QByteArray iconGroup(const std::vector<GroupItem>& items) {
    QByteArray g(static_cast<qsizetype>(6 + 14 * items.size()), '\0');
    put16(g, 2, 1);
    put16(g, 4, static_cast<std::uint32_t>(items.size()));
    std::uint32_t at = 6;
    for (const GroupItem& it : items) {
        g[at] = static_cast<char>(it.width);
        g[at + 1] = static_cast<char>(it.height);
        put16(g, at + 4, 1);
        put16(g, at + 6, it.bitCount);
        put16(g, at + 12, it.id);
        at += 14;
    }
    return g;
}

} // namespace zelvia::test
