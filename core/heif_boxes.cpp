#include "core/heif_boxes.h"

#include <algorithm>
#include <cstring>

namespace core {

namespace {

// Past these an item is damaged or made to cost: real files have one extent an item and a handful of
// properties.
constexpr std::uint32_t kMaxExtentsPerItem = 256;
constexpr std::size_t kMaxExtents = 4 * kMaxHeifItems;
constexpr std::size_t kMaxPropertiesPerItem = 64;
constexpr std::size_t kMaxProperties = 4 * kMaxHeifItems;
constexpr std::size_t kMaxReferenceLists = 4 * kMaxHeifItems;

Error Damaged(const QString& what) {
    return {Cause::Damaged, QStringLiteral("damaged HEIF boxes: %1").arg(what)};
}

FourCC ToFourCC(QByteArrayView b, qsizetype at) {
    FourCC kind;
    std::memcpy(kind.data(), b.data() + at, 4);
    return kind;
}

// Reads big-endian fields of 0 to 8 bytes, remembering whether any ran past the end.
class Reader {
public:
    Reader(QByteArrayView b, qsizetype at, qsizetype end) : b_(b), at_(at), end_(end) {}
    std::uint64_t Read(int bytes) {
        if (bytes < 0 || bytes > 8 || at_ + bytes > end_) {
            ok_ = false;
            at_ = end_;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | std::uint8_t(b_[at_ + i]);
        at_ += bytes;
        return v;
    }
    bool ok() const { return ok_; }
    qsizetype at() const { return at_; }
    qsizetype left() const { return end_ - at_; }

private:
    QByteArrayView b_;
    qsizetype at_, end_;
    bool ok_ = true;
};

template <class Items>
auto Find(Items& items, std::uint32_t id) -> decltype(&items[0]) {
    const auto it = std::lower_bound(items.begin(), items.end(), id,
                                     [](const HeifItem& item, std::uint32_t v) { return item.id < v; });
    return it != items.end() && it->id == id ? &*it : nullptr;
}

Result<void> ReadItemInfos(QByteArrayView b, const Box& iinf, HeifLayout& layout) {
    // Whatever the entry count says: the infe boxes that are there.
    const qsizetype first = iinf.payload + 4 + (iinf.payload < iinf.end && b[iinf.payload] == 0 ? 2 : 4);
    BoxWalker walker(b, std::min(first, iinf.end), iinf.end);
    for (Box box = walker.Next(); box.found(); box = walker.Next()) {
        if (walker.Kind(box) != "infe") continue;
        if (layout.items.size() >= std::size_t(kMaxHeifItems))
            return Error{Cause::TooCostly, QStringLiteral("more than %1 items in one file").arg(kMaxHeifItems)};
        Reader r(b, box.payload, box.end);
        const int version = int(r.Read(1));
        const std::uint32_t flags = std::uint32_t(r.Read(3));
        HeifItem item;
        item.hidden = flags & 1;
        if (version >= 2) {
            item.id = std::uint32_t(r.Read(version == 2 ? 2 : 4));
            r.Read(2);  // protection index
            if (r.left() >= 4) item.type = ToFourCC(b, r.at());
            r.Read(4);
        } else {
            item.id = std::uint32_t(r.Read(2));  // no type: never an image
        }
        if (!r.ok()) return Damaged(QStringLiteral("an item entry is cut short"));
        layout.items.push_back(item);
    }
    std::sort(layout.items.begin(), layout.items.end(), [](const HeifItem& x, const HeifItem& y) { return x.id < y.id; });
    if (std::adjacent_find(layout.items.begin(), layout.items.end(),
                           [](const HeifItem& x, const HeifItem& y) { return x.id == y.id; }) != layout.items.end())
        return Damaged(QStringLiteral("two items with one id"));
    return {};
}

Result<void> ReadLocations(QByteArrayView b, const Box& iloc, HeifLayout& layout) {
    Reader r(b, iloc.payload, iloc.end);
    const int version = int(r.Read(1));
    r.Read(3);
    const int sizes = int(r.Read(1)), more = int(r.Read(1));
    const int offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
    const int indexSize = version >= 1 ? more & 15 : 0;
    const auto valid = [](int n) { return n == 0 || n == 4 || n == 8; };
    if (version > 2 || !valid(offsetSize) || !valid(lengthSize) || !valid(baseSize) || !valid(indexSize))
        return Damaged(QStringLiteral("unknown item location fields"));
    const std::uint64_t count = r.Read(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && r.ok(); ++i) {
        if (i >= std::uint64_t(kMaxHeifItems))
            return Error{Cause::TooCostly, QStringLiteral("more than %1 item locations in one file").arg(kMaxHeifItems)};
        const std::uint32_t id = std::uint32_t(r.Read(version < 2 ? 2 : 4));
        const int construction = version >= 1 ? int(r.Read(2) & 15) : 0;
        r.Read(2);  // data reference: this file
        const std::uint64_t base = r.Read(baseSize);
        const std::uint32_t extents = std::uint32_t(r.Read(2));
        if (extents > kMaxExtentsPerItem) return Damaged(QStringLiteral("an item in %1 pieces").arg(extents));
        HeifItem* item = Find(layout.items, id);  // none: data libheif never reads
        const std::uint32_t first = std::uint32_t(layout.extents.size());
        for (std::uint32_t e = 0; e < extents && r.ok(); ++e) {
            r.Read(indexSize);
            const std::uint64_t offset = r.Read(offsetSize);
            const std::uint64_t length = r.Read(lengthSize);
            if (item) layout.extents.push_back({offset, length});
        }
        if (layout.extents.size() > kMaxExtents) return Damaged(QStringLiteral("items in too many pieces"));
        if (!r.ok()) break;
        if (!item) continue;
        if (item->located) return Damaged(QStringLiteral("item %1 located twice").arg(id));
        item->located = true;
        item->construction = construction;
        item->base = base;
        item->firstExtent = first;
        item->extents = extents;
    }
    if (!r.ok()) return Damaged(QStringLiteral("the item locations are cut short"));
    return {};
}

Result<void> ReadProperties(QByteArrayView b, const Box& iprp, HeifLayout& layout) {
    const Box ipco = FindBox(b, iprp.payload, iprp.end, "ipco");
    if (!ipco.found()) return Damaged(QStringLiteral("no item properties"));
    BoxWalker walker(b, ipco.payload, ipco.end);
    for (Box box = walker.Next(); box.found(); box = walker.Next()) {
        if (layout.properties.size() >= kMaxProperties) return Damaged(QStringLiteral("too many item properties"));
        layout.properties.push_back(box);
    }
    BoxWalker associations(b, iprp.payload, iprp.end);
    for (Box box = associations.Next(); box.found(); box = associations.Next()) {
        if (associations.Kind(box) != "ipma") continue;
        Reader r(b, box.payload, box.end);
        const int version = int(r.Read(1));
        const bool wide = r.Read(3) & 1;
        const std::uint64_t entries = r.Read(4);
        for (std::uint64_t i = 0; i < entries && r.ok(); ++i) {
            const std::uint32_t id = std::uint32_t(r.Read(version < 1 ? 2 : 4));
            const int n = int(r.Read(1));
            HeifItem* item = Find(layout.items, id);
            for (int k = 0; k < n && r.ok(); ++k) {
                const std::uint16_t index = std::uint16_t(wide ? r.Read(2) & 0x7FFF : r.Read(1) & 0x7F);
                if (!item || index == 0) continue;
                if (item->properties.size() >= kMaxPropertiesPerItem)
                    return Damaged(QStringLiteral("item %1 has too many properties").arg(id));
                item->properties.push_back(index);
            }
            if (r.left() == 0) break;  // whatever the count says
        }
        if (!r.ok()) return Damaged(QStringLiteral("the property associations are cut short"));
    }
    return {};
}

Result<void> ReadReferences(QByteArrayView b, const Box& iref, HeifLayout& layout) {
    if (iref.payload + 4 > iref.end) return Damaged(QStringLiteral("empty reference box"));
    const int idBytes = b[iref.payload] == 0 ? 2 : 4;
    BoxWalker walker(b, iref.payload + 4, iref.end);
    for (Box box = walker.Next(); box.found(); box = walker.Next()) {
        if (layout.references.size() >= kMaxReferenceLists) return Damaged(QStringLiteral("too many reference lists"));
        Reader r(b, box.payload, box.end);
        HeifReferences refs;
        refs.type = ToFourCC(b, box.start + 4);
        refs.from = std::uint32_t(r.Read(idBytes));
        refs.count = std::uint32_t(r.Read(2));
        refs.ids = r.at();
        refs.idBytes = idBytes;
        if (!r.ok() || qsizetype(refs.count) * idBytes > r.left())
            return Damaged(QStringLiteral("a reference list is cut short"));
        layout.references.push_back(refs);
    }
    return {};
}

}  // namespace

std::uint32_t Big16(QByteArrayView b, qsizetype at) {
    return (std::uint32_t(std::uint8_t(b[at])) << 8) | std::uint8_t(b[at + 1]);
}

std::uint32_t Big32(QByteArrayView b, qsizetype at) {
    return (Big16(b, at) << 16) | Big16(b, at + 2);
}

Box BoxWalker::Next() {
    if (at_ + 8 > to_) return {};
    std::uint64_t size = Big32(b_, at_);
    qsizetype header = 8;
    if (size == 1) {
        if (at_ + 16 > to_) return {};
        size = (std::uint64_t(Big32(b_, at_ + 8)) << 32) | Big32(b_, at_ + 12);
        header = 16;
    } else if (size == 0) {
        size = std::uint64_t(to_ - at_);
    }
    if (size < std::uint64_t(header) || size > std::uint64_t(to_ - at_)) {
        at_ = to_;
        return {};
    }
    const Box box{at_, at_ + header, at_ + qsizetype(size)};
    at_ = box.end;
    return box;
}

Box FindBox(QByteArrayView b, qsizetype from, qsizetype to, const char* kind) {
    BoxWalker walker(b, from, to);
    for (Box box = walker.Next(); box.found(); box = walker.Next())
        if (walker.Kind(box) == kind) return box;
    return {};
}

const HeifItem* HeifLayout::Item(std::uint32_t id) const { return Find(items, id); }

Box HeifLayout::Property(const HeifItem& item, const char* kind) const {
    for (const std::uint16_t index : item.properties) {
        if (index > properties.size()) continue;
        const Box& box = properties[index - 1];
        if (file.sliced(box.start + 4, 4) == kind) return box;
    }
    return {};
}

std::uint32_t HeifLayout::ReferenceId(const HeifReferences& r, std::uint32_t i) const {
    const qsizetype at = r.ids + qsizetype(i) * r.idBytes;
    return r.idBytes == 2 ? Big16(file, at) : Big32(file, at);
}

std::uint64_t HeifLayout::DataLength(const HeifItem& item) const {
    std::uint64_t total = 0;
    for (std::uint32_t e = 0; e < item.extents; ++e) total += extents[item.firstExtent + e].length;
    return total;
}

Result<QByteArray> HeifLayout::Data(const HeifItem& item) const {
    if (!item.located || item.construction > 1) return Damaged(QStringLiteral("item %1 has no data").arg(item.id));
    QByteArrayView within = file;
    if (item.construction == 1) {
        if (!idat.found()) return Damaged(QStringLiteral("item %1 lies in a missing idat box").arg(item.id));
        within = file.sliced(idat.payload, idat.end - idat.payload);
    }
    const auto piece = [&](const HeifExtent& e) -> QByteArrayView {
        const std::uint64_t start = item.base + e.offset;
        const std::uint64_t size = std::uint64_t(within.size());
        // A length of 0 is the rest of the file.
        const std::uint64_t length = e.length == 0 && start <= size ? size - start : e.length;
        if (start < item.base || start > size || length > size - start) return {};
        return within.sliced(qsizetype(start), qsizetype(length));
    };
    if (item.extents == 1) {
        const QByteArrayView one = piece(extents[item.firstExtent]);
        if (one.data() == nullptr) return Damaged(QStringLiteral("item %1 lies beyond the file").arg(item.id));
        return QByteArray::fromRawData(one.data(), one.size());
    }
    QByteArray all;
    for (std::uint32_t e = 0; e < item.extents; ++e) {
        const QByteArrayView one = piece(extents[item.firstExtent + e]);
        if (one.data() == nullptr) return Damaged(QStringLiteral("item %1 lies beyond the file").arg(item.id));
        all.append(one);
    }
    return all;
}

Result<HeifLayout> ReadHeifLayout(QByteArrayView file) {
    HeifLayout layout;
    layout.file = file;
    const Box meta = FindBox(file, 0, file.size(), "meta");
    if (!meta.found()) return Damaged(QStringLiteral("no meta box"));
    const qsizetype from = std::min(meta.payload + 4, meta.end);  // a full box
    const Box pitm = FindBox(file, from, meta.end, "pitm");
    const Box iinf = FindBox(file, from, meta.end, "iinf");
    const Box iloc = FindBox(file, from, meta.end, "iloc");
    const Box iprp = FindBox(file, from, meta.end, "iprp");
    if (!pitm.found() || !iinf.found() || !iloc.found() || !iprp.found())
        return Damaged(QStringLiteral("no primary item, item list, locations or properties"));
    Reader primary(file, pitm.payload, pitm.end);
    const int version = int(primary.Read(1));
    primary.Read(3);
    layout.primary = std::uint32_t(primary.Read(version == 0 ? 2 : 4));
    if (!primary.ok()) return Damaged(QStringLiteral("the primary item box is cut short"));
    if (Result<void> r = ReadItemInfos(file, iinf, layout); !r) return r.error();
    if (Result<void> r = ReadLocations(file, iloc, layout); !r) return r.error();
    if (Result<void> r = ReadProperties(file, iprp, layout); !r) return r.error();
    if (const Box iref = FindBox(file, from, meta.end, "iref"); iref.found())
        if (Result<void> r = ReadReferences(file, iref, layout); !r) return r.error();
    layout.idat = FindBox(file, from, meta.end, "idat");
    return layout;
}

}  // namespace core
