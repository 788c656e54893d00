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
constexpr int InvalidArgument = 5;
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int SubscriptOutOfRange = 9;
constexpr int DivisionByZero = 11;
constexpr int Internal = 51;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int DeviceIO = 57;
constexpr int FileAlreadyExists = 58;
constexpr int DiskFull = 61;
constexpr int PathFileAccess = 75;
constexpr int InvalidPicture = 481;
}  // namespace err

// The runtime's number for an engine failure of this cause, as the old names have always reported it.
int RuntimeErrorNumber(core::Cause cause);

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, QString source, QString description);
    int number() const { return number_; }
    QString source() const { return source_; }
    QString description() const { return description_; }
    // The engine's error this one stands for, when it came from the engine: the runtime's number is kept
    // for compatibility, the engine's cause says why.
    const std::optional<core::Error>& cause() const { return cause_; }
    void setCause(core::Error cause) { cause_ = std::move(cause); }

private:
    int number_;
    QString source_;
    QString description_;
    std::optional<core::Error> cause_;
};

// Throws RuntimeError; an empty source means the executable's name, an empty description the
// runtime's standard text for that number.
[[noreturn]] void Raise(int number, const QString& description = {}, const QString& source = {});
// The same, carrying the engine's error as the cause; number 0 raises the runtime's number for its cause.
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
