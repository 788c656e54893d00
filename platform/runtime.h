#pragma once
// The language runtime's services that the windows and modules lean on: numbered runtime errors,
// the executable's name, banker's rounding, checked 32-bit arithmetic and numbers in the user's locale.
// The message box, which needs widgets, is in platform/msgbox.h.

#include "core/result.h"

#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace platform {

// Runtime error numbers used by this program.
namespace err {
// The engine reports its failures with the runtime's own numbers; these are the same.
using core::errc::DivisionByZero;
using core::errc::FileNotFound;
using core::errc::InvalidArgument;
using core::errc::InvalidPicture;
using core::errc::OutOfMemory;
using core::errc::Overflow;
using core::errc::PathFileAccess;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
}  // namespace err

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, QString source, QString description);
    int number() const { return number_; }
    QString source() const { return source_; }
    QString description() const { return description_; }
    // The engine's error this one stands for (number 0 when it did not come from the engine): the
    // runtime's number is kept for compatibility, the engine's says why.
    const core::Error& cause() const { return cause_; }
    void setCause(core::Error cause) { cause_ = std::move(cause); }

private:
    int number_;
    QString source_;
    QString description_;
    core::Error cause_;
};

// Throws RuntimeError; an empty source means the executable's name, an empty description the
// runtime's standard text for that number.
[[noreturn]] void Raise(int number, const QString& description = {}, const QString& source = {});
// The same, carrying the engine's error as the cause; number 0 raises the engine's own number.
[[noreturn]] void Raise(const core::Error& cause, int number = 0, const QString& description = {},
                        const QString& source = {});

// The executable's file name without its extension ("torv-image-resize").
QString ExeName();

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double Round(double value);

// 32-bit signed arithmetic that raises error 6 instead of wrapping.
int32_t CheckedAdd(int32_t a, int32_t b);
int32_t CheckedMul(int32_t a, int32_t b);

// Numbers from variant values, in the user's locale (QLocale()). A number passes through (true is -1),
// the empty value counts as 0, a text is trimmed and read as a decimal number in that locale ("1,5" is
// one and a half in Turkish); an empty text, other text and infinities are no number.
std::optional<double> ToNumber(const QVariant& value);
bool IsNumeric(const QVariant& value);
// As ToNumber, raising error 13 for what is no number.
double CDbl(const QVariant& value);
// To a 32-bit integer, halves to the even neighbour; error 13 for no number, 6 outside the range.
int32_t CLng(const QVariant& value);

// The screen as the program measures it: 96 pixels per inch, 15 twips a pixel.
struct ScreenMetrics {
    static constexpr int TwipsPerPixelX = 15;
    static constexpr int TwipsPerPixelY = 15;
};
inline constexpr ScreenMetrics Screen;

}  // namespace platform
