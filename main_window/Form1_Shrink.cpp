// "2-Küçült": the aspect-ratio fit of the loaded picture into the wanted size, the displays, and the
// stretched copy into Picture2 that the save commands read.
#include "main_window/Form1.h"

#include "core/fit.h"
#include "core/shrink.h"
#include "platform/controls/PictureBox.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QLineEdit>
#include <cmath>

namespace {

// The runtime's Int(): floor, keeping a single-precision or integer value's kind; a text becomes a double.
QVariant Floored(const QVariant& value) {
    const double floored = std::floor(platform::CDbl(value));
    switch (value.typeId()) {
        case QMetaType::Float:
            return QVariant(float(floored));
        case QMetaType::Short:
        case QMetaType::Int:
        case QMetaType::LongLong:
            return value;
        default:
            return QVariant(floored);
    }
}

// A wanted side the fit can use: a number that floors to at least 1.
bool UsableSide(const QString& text) {
    const std::optional<double> number = platform::ToNumber(text);
    return number && std::floor(*number) >= 1;
}

QString PlainNumber(const QVariant& value) { return QString::number(qint64(value.toDouble())); }

}  // namespace

void Form1::Command3_Click() {
    // Checked before anything changes, so a refused click leaves the window as it was.
    if (Picture1->Picture().isEmpty()) {
        platform::MsgBox(QStringLiteral("Önce bir resim seçin."), platform::vbExclamation);
        return;
    }
    if (!UsableSide(Text1->text()) || !UsableSide(Text2->text())) {
        platform::MsgBox(QStringLiteral("Genişlik ve yükseklik en az 1 olan sayılar olmalıdır."),
                         platform::vbExclamation);
        return;
    }
    try {
        boyut_hesapla();
        resim_kucult();
    } catch (const platform::RuntimeError& e) {
        // A picture whose data turn out damaged only when its pixels are read, or memory running out.
        platform::MsgBox(QStringLiteral("Resim küçültülemedi: %1").arg(e.description()),
                         platform::vbExclamation);
    }
    requestSizeEstimate();
}

void Form1::boyut_hesapla() {
    bizim_genislik = Text1->text();
    bizim_yukseklik = Text2->text();
    const platform::Picture picture = Picture1->Picture();
    resim_genislik = Picture1->ScaleX(double(picture.Width()), platform::vbHimetric, platform::vbPixels);
    resim_yukseklik = Picture1->ScaleY(double(picture.Height()), platform::vbHimetric, platform::vbPixels);
    showPictureSize();

    ulkpixel(resim_genislik, resim_yukseklik, bizim_genislik, bizim_yukseklik);
    // A very long, thin picture fits to a side of 0; one pixel is the least a picture can have.
    const QSize size = core::Fit{yeni_genislik.toDouble(), yeni_yukseklik.toDouble()}.pixels();
    yeni_genislik = double(size.width());
    yeni_yukseklik = double(size.height());

    Text3->setText(PlainNumber(yeni_genislik));
    Text4->setText(PlainNumber(yeni_yukseklik));
    Text5->setText(PlainNumber(durum));
    Picture2->setWidth(platform::CheckedMul(platform::CLng(yeni_genislik), platform::Screen.TwipsPerPixelX));
    Picture2->setHeight(
        platform::CheckedMul(platform::CLng(yeni_yukseklik), platform::Screen.TwipsPerPixelY));
}

void Form1::resim_kucult() {
    Picture2->setAutoRedraw(true);
    shrunkWithAlpha_ = platform::Picture();
    // Shrunk once with its transparency kept, for a PNG or WebP save; Picture2 lays it on its white, for
    // the JPEG saves, copying it pixel for pixel.
    const QSize size(Picture2->ScaleWidth(), Picture2->ScaleHeight());
    if (size.isEmpty()) return;  // nothing to draw on
    const QRect source(Picture1->ScaleLeft(), Picture1->ScaleTop(), Picture1->ScaleWidth(), Picture1->ScaleHeight());
    const core::Result<QImage> shrunk =
        core::ShrinkPicture(Picture1->Picture().core(), size, {.background = QColor(), .source = source});
    if (!shrunk) platform::Raise(shrunk.error());
    const platform::Picture result = platform::Picture::FromImage(*shrunk);
    shrunkWithAlpha_ = result.pixels().hasAlphaChannel() ? result : platform::Picture();
    Picture2->PaintPicture(result, Picture2->ScaleLeft(), Picture2->ScaleTop(), size.width(), size.height(), 0, 0,
                           size.width(), size.height());
    Picture2->setPicture(Picture2->Image());
}

void Form1::ulkpixel(QVariant& resim_genislik, QVariant& resim_yukseklik, QVariant& bizim_genislik,
                     QVariant& bizim_yukseklik) {
    resim_genislik = Floored(resim_genislik);
    resim_yukseklik = Floored(resim_yukseklik);
    bizim_genislik = Floored(bizim_genislik);
    bizim_yukseklik = Floored(bizim_yukseklik);
    durum = QVariant::fromValue<qint16>(0);
    const core::Result<core::Fit> fit = core::FitIntoBox(resim_genislik.toDouble(), resim_yukseklik.toDouble(),
                                                         bizim_genislik.toDouble(), bizim_yukseklik.toDouble());
    // Division by zero or overflow, as the arithmetic raises them; a negative size leaves the values unset.
    if (!fit) {
        if (fit.error().cause != core::Cause::InvalidSize)
            platform::Raise(platform::RuntimeErrorNumber(fit.error().cause));
        return;
    }
    yeni_genislik = fit->width;
    yeni_yukseklik = fit->height;
    durum = QVariant::fromValue<qint16>(qint16(fit->status));
}
