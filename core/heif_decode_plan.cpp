#include "core/heif_decode_plan.h"

#include "core/heif_boxes.h"
#include "core/heif_coded_size.h"
#include "core/picture_decoder.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace core {

namespace {

// Derived images of derived images: a grid of identities is two deep. Real files stop at one.
constexpr int kMaxDepth = 4;
// A still image is one coded picture; a layered AVIF has a few.
constexpr int kMaxPicturesPerImage = 4;
// Coded sizes are rounded up to the codec's blocks (HEVC's largest is 64), the declared size is not.
constexpr int kCodedRounding = 64;
// Work allowed beyond the picture's own pixels, for small pictures padded to whole tiles or blocks.
constexpr std::int64_t kSlackPixels = std::int64_t(1) << 22;

Error Damaged(const QString& why) { return {Cause::Damaged, why}; }
Error Costly(const QString& why) { return {Cause::TooCostly, why}; }

std::int64_t Area(QSize s) { return std::int64_t(s.width()) * s.height(); }

QString Text(QSize s) { return QStringLiteral("%1 x %2").arg(s.width()).arg(s.height()); }

bool IsAlpha(QByteArrayView file, const Box& auxC) {
    if (!auxC.found() || auxC.payload + 4 > auxC.end) return false;
    const QByteArrayView urn = file.sliced(auxC.payload + 4, auxC.end - auxC.payload - 4);
    const qsizetype end = urn.indexOf('\0');
    const QByteArrayView name = end < 0 ? urn : urn.first(end);
    return name == "urn:mpeg:hevc:2015:auxid:1" || name == "urn:mpeg:avc:2015:auxid:1" ||
           name == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha";
}

QSize DeclaredSize(const HeifLayout& layout, const HeifItem& item) {
    const Box ispe = layout.Property(item, "ispe");
    if (!ispe.found() || ispe.payload + 12 > ispe.end) return {};
    const std::uint32_t w = Big32(layout.file, ispe.payload + 4), h = Big32(layout.file, ispe.payload + 8);
    // Beyond a QSize's sides: larger than anything the loader takes anyway.
    return QSize(int(std::min<std::uint32_t>(w, 1u << 30)), int(std::min<std::uint32_t>(h, 1u << 30)));
}

class Planner {
public:
    explicit Planner(const HeifLayout& layout) : l_(layout) {
        for (std::size_t i = 0; i < l_.references.size(); ++i) {
            const HeifReferences& r = l_.references[i];
            if (r.type == FourCC{'d', 'i', 'm', 'g'}) {
                derived_.emplace(r.from, i);  // the first list counts, as in libheif
            } else if (r.type == FourCC{'a', 'u', 'x', 'l'}) {
                // libheif refuses an auxiliary image of more than one; every alpha of an image counts, whichever
                // one libheif takes.
                const HeifItem* aux = l_.Item(r.from);
                if (r.count == 1 && aux && IsAlpha(l_.file, l_.Property(*aux, "auxC")))
                    alphas_.emplace(l_.ReferenceId(r, 0), r.from);
            }
        }
    }

    Result<HeifPlan> Plan() {
        const HeifItem* primary = l_.Item(l_.primary);
        if (!primary) return Damaged(QStringLiteral("damaged HEIF boxes: the primary item is missing"));
        const Result<QSize> size = Visit(l_.primary, 0);
        if (!size) return size.error();
        plan_.size = Declared(*primary);
        // Each image's own rules keep its work near its size; this bounds what they add up to (alpha,
        // overlays, identities).
        if (plan_.decodedPixels > 4 * Area(plan_.size) + kSlackPixels)
            return Costly(QStringLiteral("decoding would fill %1 megapixels for a %2 picture")
                               .arg(plan_.decodedPixels / 1'000'000)
                               .arg(Text(plan_.size)));
        return plan_;
    }

private:
    QSize Declared(const HeifItem& item) const { return DeclaredSize(l_, item); }

    bool QuarterTurn(const Box& irot) const {
        return irot.found() && irot.payload < irot.end && (l_.file[irot.payload] & 1);
    }

    // The size an image shows to what is derived from it, as libheif tells it: its declared size, turned
    // by a quarter rotation associated after it (libheif's own encoder lists the rotation first and
    // declares the turned size).
    QSize Shown(const HeifItem& item) const {
        bool declared = false, turned = false;
        for (const std::uint16_t index : item.properties) {
            if (index > l_.properties.size()) continue;
            const Box& box = l_.properties[index - 1];
            const QByteArrayView kind = l_.file.sliced(box.start + 4, 4);
            if (kind == "ispe") declared = true;
            else if (kind == "irot" && declared && QuarterTurn(box)) turned = !turned;
        }
        return turned ? Declared(item).transposed() : Declared(item);
    }

    const HeifReferences* DerivedFrom(std::uint32_t id) const {
        const auto it = derived_.find(id);
        return it == derived_.end() ? nullptr : &l_.references[it->second];
    }

    Result<QSize> Visit(std::uint32_t id, int depth) {
        if (depth > kMaxDepth) return Costly(QStringLiteral("images derived from images %1 deep").arg(depth));
        const HeifItem* item = l_.Item(id);
        if (!item) return Damaged(QStringLiteral("damaged HEIF boxes: a reference to a missing item"));
        if (!visited_.insert(id).second)
            return Costly(QStringLiteral("one image referenced twice (item %1)").arg(id));
        const QSize declared = Declared(*item);
        if (declared.isEmpty()) return Damaged(QStringLiteral("an image (item %1) without its size").arg(id));
        if (Area(declared) > kMaxPicturePixels) return TooLarge();
        const FourCC type = item->type;
        Result<void> checked;
        if (type == FourCC{'h', 'v', 'c', '1'} || type == FourCC{'a', 'v', '0', '1'}) {
            checked = Coded(*item, declared);
        } else if (type == FourCC{'g', 'r', 'i', 'd'}) {
            checked = Grid(*item, declared, depth);
        } else if (type == FourCC{'i', 'd', 'e', 'n'}) {
            checked = Identity(*item, declared, depth);
        } else if (type == FourCC{'i', 'o', 'v', 'l'}) {
            checked = Overlay(*item, declared, depth);
        } else {
            return Error{Cause::UnsupportedFormat,
                         QStringLiteral("unsupported HEIF image kind '%1'").arg(QString::fromLatin1(type.data(), 4))};
        }
        if (!checked) return checked.error();
        // libheif decodes an image's alpha with it, tiles' included.
        const auto [from, to] = alphas_.equal_range(id);
        std::vector<std::uint32_t> alphas;
        for (auto it = from; it != to; ++it) alphas.push_back(it->second);
        for (const std::uint32_t alpha : alphas)
            if (const Result<QSize> r = Visit(alpha, depth + 1); !r) return r.error();
        return Shown(*item);
    }

    Result<void> Coded(const HeifItem& item, QSize declared) {
        const bool hevc = item.type == FourCC{'h', 'v', 'c', '1'};
        const Box config = l_.Property(item, hevc ? "hvcC" : "av1C");
        if (!config.found()) return Damaged(QStringLiteral("a coded image (item %1) without its codec configuration").arg(item.id));
        if (++plan_.decodes > kMaxHeifDecodes)
            return Costly(QStringLiteral("more than %1 images to decode for one picture").arg(kMaxHeifDecodes));
        const Result<QByteArray> data = l_.Data(item);
        if (!data) return data.error();
        // Two images sharing their coded data: the same decode twice, a repeated tile under another name.
        codedBytes_ += data->size();
        if (codedBytes_ > l_.file.size()) return Costly(QStringLiteral("images share their coded data"));
        const QByteArrayView payload = l_.file.sliced(config.payload, config.end - config.payload);
        const Result<CodedSize> coded = hevc ? HevcCodedSize(payload, *data) : Av1CodedSize(payload, *data);
        if (!coded) return coded.error();
        const auto fits = [](int declaredSide, int shown, int full) {
            const std::int64_t rounded = (std::int64_t(declaredSide) + kCodedRounding - 1) / kCodedRounding * kCodedRounding;
            return shown >= declaredSide && full <= rounded;
        };
        const auto fitsBoth = [&](QSize side) {
            return fits(side.width(), coded->shown.width(), coded->coded.width()) &&
                   fits(side.height(), coded->shown.height(), coded->coded.height());
        };
        // A file that declares the turned size (as libheif's encoder does) is coded the other way round.
        if (!fitsBoth(declared) && !(QuarterTurn(l_.Property(item, "irot")) && fitsBoth(declared.transposed())))
            return Damaged(QStringLiteral("an image declared %1 is coded at %2").arg(Text(declared), Text(coded->coded)));
        if (coded->pictures > kMaxPicturesPerImage)
            return Costly(QStringLiteral("%1 coded pictures in one image").arg(coded->pictures));
        const std::int64_t pixels = Area(coded->coded) * std::max(coded->pictures, 1);
        plan_.decodedPixels += pixels;
        plan_.largestTile = std::max(plan_.largestTile, Area(coded->coded));
        plan_.bits = std::max(plan_.bits, coded->bits);
        return {};
    }

    Result<void> Grid(const HeifItem& item, QSize declared, int depth) {
        const Result<QByteArray> data = l_.Data(item);
        if (!data) return data.error();
        const QByteArrayView d = *data;
        const bool wide = d.size() >= 2 && (d[1] & 1);
        if (d.size() < (wide ? 12 : 8)) return Damaged(QStringLiteral("damaged HEIF boxes: a grid's description is cut short"));
        const int rows = std::uint8_t(d[2]) + 1, columns = std::uint8_t(d[3]) + 1;
        const std::uint32_t w = wide ? Big32(d, 4) : Big16(d, 4), h = wide ? Big32(d, 8) : Big16(d, 6);
        if (w != std::uint32_t(declared.width()) || h != std::uint32_t(declared.height()))
            return Damaged(QStringLiteral("a grid of %1 x %2 declared as %3").arg(w).arg(h).arg(Text(declared)));
        const HeifReferences* tiles = DerivedFrom(item.id);
        const std::int64_t count = std::int64_t(rows) * columns;
        if (!tiles || tiles->count != count)
            return Damaged(QStringLiteral("a grid of %1 tiles with %2 references").arg(count).arg(tiles ? tiles->count : 0));
        if (count > kMaxHeifDecodes)
            return Costly(QStringLiteral("more than %1 images to decode for one picture").arg(kMaxHeifDecodes));
        QSize tile;
        for (std::uint32_t i = 0; i < tiles->count; ++i) {
            const Result<QSize> one = Visit(l_.ReferenceId(*tiles, i), depth + 1);
            if (!one) return one.error();
            if (i == 0) tile = *one;
            if (*one != tile) return Damaged(QStringLiteral("a grid of tiles of different sizes"));
        }
        // The tiles cover the grid, none lies wholly outside it, and together they are not far larger.
        const auto spans = [](std::int64_t n, int side, std::int64_t whole) { return n * side >= whole && (n - 1) * side < whole; };
        if (!spans(columns, tile.width(), w) || !spans(rows, tile.height(), h))
            return Damaged(QStringLiteral("%1 x %2 tiles of %3 do not make a grid of %4")
                               .arg(columns).arg(rows).arg(Text(tile), Text(declared)));
        if (count * Area(tile) > 2 * Area(declared) + kSlackPixels)
            return Costly(QStringLiteral("tiles of %1 far larger than their grid of %2").arg(Text(tile), Text(declared)));
        plan_.decodedPixels += Area(declared);
        return {};
    }

    Result<void> Identity(const HeifItem& item, QSize declared, int depth) {
        const HeifReferences* from = DerivedFrom(item.id);
        if (!from || from->count != 1) return Damaged(QStringLiteral("damaged HEIF boxes: an identity of %1 images").arg(from ? from->count : 0));
        const Result<QSize> one = Visit(l_.ReferenceId(*from, 0), depth + 1);
        if (!one) return one.error();
        if (*one != declared) return Damaged(QStringLiteral("an image of %1 declared as %2").arg(Text(*one), Text(declared)));
        return {};
    }

    Result<void> Overlay(const HeifItem& item, QSize declared, int depth) {
        const Result<QByteArray> data = l_.Data(item);
        if (!data) return data.error();
        const QByteArrayView d = *data;
        const bool wide = d.size() >= 2 && (d[1] & 1);
        if (d.size() < (wide ? 18 : 14)) return Damaged(QStringLiteral("damaged HEIF boxes: an overlay's description is cut short"));
        const std::uint32_t w = wide ? Big32(d, 10) : Big16(d, 10), h = wide ? Big32(d, 14) : Big16(d, 12);
        if (w != std::uint32_t(declared.width()) || h != std::uint32_t(declared.height()))
            return Damaged(QStringLiteral("an overlay of %1 x %2 declared as %3").arg(w).arg(h).arg(Text(declared)));
        const HeifReferences* inputs = DerivedFrom(item.id);
        if (!inputs || inputs->count == 0) return Damaged(QStringLiteral("damaged HEIF boxes: an overlay of no images"));
        if (inputs->count > std::uint32_t(kMaxHeifDecodes))
            return Costly(QStringLiteral("more than %1 images to decode for one picture").arg(kMaxHeifDecodes));
        for (std::uint32_t i = 0; i < inputs->count; ++i)
            if (const Result<QSize> one = Visit(l_.ReferenceId(*inputs, i), depth + 1); !one) return one.error();
        plan_.decodedPixels += Area(declared);
        return {};
    }

    const HeifLayout& l_;
    std::unordered_map<std::uint32_t, std::size_t> derived_;
    std::unordered_multimap<std::uint32_t, std::uint32_t> alphas_;
    std::unordered_set<std::uint32_t> visited_;
    std::int64_t codedBytes_ = 0;
    HeifPlan plan_;
};

}  // namespace

Result<HeifPlan> PlanHeifDecode(QByteArrayView file) {
    const Result<HeifLayout> layout = ReadHeifLayout(file);
    if (!layout) return layout.error();
    return Planner(*layout).Plan();
}

QSize HeifDeclaredSize(QByteArrayView head) {
    const Result<HeifLayout> layout = ReadHeifLayout(head);
    if (!layout) return {};
    const HeifItem* primary = layout->Item(layout->primary);
    return primary ? DeclaredSize(*layout, *primary) : QSize();
}

}  // namespace core
