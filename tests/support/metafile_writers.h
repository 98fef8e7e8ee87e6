#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <initializer_list>

// Small writers of WMF and EMF files with known header values, for the tests.
namespace zelvia::test {

inline void put16(QByteArray& b, int v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
}

inline void put32(QByteArray& b, std::int64_t v) {
    for (int i = 0; i < 4; ++i) {
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

inline QByteArray words16(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) {
        put16(b, v);
    }
    return b;
}

inline QByteArray words32(std::initializer_list<std::int64_t> values) {
    QByteArray b;
    for (auto v : values) {
        put32(b, v);
    }
    return b;
}

class WmfWriter {
public:
    // Parameters are raw little-endian bytes; odd lengths are padded to whole words.
    WmfWriter& record(int function, QByteArray params) {
        if (params.size() % 2 != 0) {
            params.append('\0');
        }
        put32(records_, 3 + params.size() / 2);
        put16(records_, function);
        records_.append(params);
        return *this;
    }
    WmfWriter& record(int function, std::initializer_list<int> params) {
        return record(function, words16(params));
    }

    // Common records.
    WmfWriter& mapMode(int mode) { return record(0x0103, {mode}); }
    WmfWriter& windowOrg(int x, int y) { return record(0x020B, {y, x}); }
    WmfWriter& windowExt(int x, int y) { return record(0x020C, {y, x}); }
    WmfWriter& viewportExt(int x, int y) { return record(0x020E, {y, x}); }
    WmfWriter& solidBrush(std::uint32_t rgb) {
        QByteArray p = words16({0});
        put32(p, rgb);
        put16(p, 0);
        return record(0x02FC, p);
    }
    WmfWriter& pen(int style, int width, std::uint32_t rgb) {
        QByteArray p = words16({style, width, 0});
        put32(p, rgb);
        return record(0x02FA, p);
    }
    WmfWriter& select(int index) { return record(0x012D, {index}); }
    WmfWriter& rectangle(int l, int t, int r, int b) { return record(0x041B, {b, r, t, l}); }
    WmfWriter& ellipse(int l, int t, int r, int b) { return record(0x0418, {b, r, t, l}); }
    WmfWriter& moveTo(int x, int y) { return record(0x0214, {y, x}); }
    WmfWriter& lineTo(int x, int y) { return record(0x0213, {y, x}); }

    [[nodiscard]] QByteArray plain(int objects) const {
        QByteArray out;
        QByteArray all = records_;
        put32(all, 3);
        put16(all, 0);
        put16(out, 1);
        put16(out, 9);
        put16(out, 0x0300);
        put32(out, (18 + all.size()) / 2);
        put16(out, objects);
        put32(out, 3);
        put16(out, 0);
        out.append(all);
        return out;
    }

    [[nodiscard]] QByteArray placeable(QRect box, int inch, int objects,
                                       bool rightChecksum = true) const {
        QByteArray head;
        put32(head, 0x9AC6CDD7);
        put16(head, 0);
        put16(head, box.left());
        put16(head, box.top());
        put16(head, box.left() + box.width());
        put16(head, box.top() + box.height());
        put16(head, inch);
        put32(head, 0);
        std::uint16_t sum = 0;
        for (int i = 0; i < 20; i += 2) {
            sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(head[i]) |
                                              (static_cast<unsigned char>(head[i + 1]) << 8));
        }
        put16(head, rightChecksum ? sum : sum ^ 0x5555);
        return head + plain(objects);
    }

private:
    QByteArray records_;
};

class EmfWriter {
public:
    EmfWriter& record(std::uint32_t type, const QByteArray& params) {
        put32(records_, type);
        put32(records_, 8 + params.size());
        records_.append(params);
        ++count_;
        return *this;
    }
    EmfWriter& record(std::uint32_t type, std::initializer_list<std::int64_t> params) {
        return record(type, words32(params));
    }

    EmfWriter& mapMode(int mode) { return record(17, {mode}); }
    EmfWriter& windowOrg(int x, int y) { return record(10, {x, y}); }
    EmfWriter& windowExt(int x, int y) { return record(9, {x, y}); }
    EmfWriter& viewportOrg(int x, int y) { return record(12, {x, y}); }
    EmfWriter& viewportExt(int x, int y) { return record(11, {x, y}); }
    EmfWriter& solidBrush(int index, std::uint32_t rgb) { return record(39, {index, 0, rgb, 0}); }
    EmfWriter& pen(int index, int style, int width, std::uint32_t rgb) {
        return record(38, {index, style, width, 0, rgb});
    }
    EmfWriter& select(std::int64_t index) { return record(37, {index}); }
    EmfWriter& rectangle(int l, int t, int r, int b) { return record(43, {l, t, r, b}); }
    EmfWriter& ellipse(int l, int t, int r, int b) { return record(42, {l, t, r, b}); }
    EmfWriter& moveTo(int x, int y) { return record(27, {x, y}); }
    EmfWriter& lineTo(int x, int y) { return record(54, {x, y}); }

    // A picture of 100 x 100 device pixels, a pixel a millimetre (frame 100 mm square).
    [[nodiscard]] QByteArray finishSquare() const {
        return finish(QRect(0, 0, 100, 100), QRect(QPoint(0, 0), QPoint(9999, 9999)),
                      QSize(1000, 1000), QSize(1000, 1000));
    }

    // Header with bounds in device pixels, frame in 0.01 mm and the reference device.
    [[nodiscard]] QByteArray finish(QRect bounds, QRect frame, QSize devicePx, QSize deviceMm,
                                    int handles = 8) const {
        QByteArray all = records_;
        put32(all, 14);
        put32(all, 20);
        put32(all, 0);
        put32(all, 16);
        put32(all, 20);
        QByteArray h;
        put32(h, 1);
        put32(h, 88);
        put32(h, bounds.left());
        put32(h, bounds.top());
        put32(h, bounds.right());
        put32(h, bounds.bottom());
        put32(h, frame.left());
        put32(h, frame.top());
        put32(h, frame.right());
        put32(h, frame.bottom());
        put32(h, 0x464D4520);
        put32(h, 0x10000);
        put32(h, 88 + all.size());
        put32(h, count_ + 2);
        put16(h, handles);
        put16(h, 0);
        put32(h, 0);
        put32(h, 0);
        put32(h, 0);
        put32(h, devicePx.width());
        put32(h, devicePx.height());
        put32(h, deviceMm.width());
        put32(h, deviceMm.height());
        return h + all;
    }

private:
    QByteArray records_;
    int count_ = 0;
};

// A placeable WMF of 8000 x 6000 twips (533.33 x 400 pixels) drawing one rectangle, and the size
// to grow such a file to (with zeros: a sparse file) to pass the size a metafile may have to be
// played.
inline QByteArray rectangleWmf8000x6000() {
    WmfWriter wmf;
    wmf.mapMode(8).windowOrg(0, 0).windowExt(8000, 6000).rectangle(0, 0, 8000, 6000);
    return wmf.placeable(QRect(0, 0, 8000, 6000), 1440, 0);
}
constexpr qint64 kPastMetafilePlayLimit = qint64{65} << 20;

} // namespace zelvia::test
