#include "platform/runtime.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <limits>

namespace platform {

namespace {

QString StandardText(int number) {
    switch (number) {
        case err::InvalidArgument:
            return QStringLiteral("Invalid procedure call or argument");
        case err::Overflow:
            return QStringLiteral("Overflow");
        case err::OutOfMemory:
            return QStringLiteral("Out of memory");
        case err::FileNotFound:
            return QStringLiteral("File not found");
        case err::InvalidPicture:
            return QStringLiteral("Invalid picture");
        case err::SubscriptOutOfRange:
            return QStringLiteral("Subscript out of range");
        case err::DivisionByZero:
            return QStringLiteral("Division by zero");
        case err::TypeMismatch:
            return QStringLiteral("Type mismatch");
        case err::PathFileAccess:
            return QStringLiteral("Path/File access error");
        default:
            return QStringLiteral("Application-defined or object-defined error");
    }
}

}  // namespace

RuntimeError::RuntimeError(int number, QString source, QString description)
    : std::runtime_error(QStringLiteral("%1 (%2): %3").arg(number).arg(source, description).toStdString()),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

int RuntimeErrorNumber(core::Cause cause) {
    using core::Cause;
    switch (cause) {
        case Cause::NotFound:
        case Cause::LibraryMissing:
            return err::FileNotFound;
        case Cause::ResultExists:
            return err::FileAlreadyExists;
        case Cause::DiskFull:
            return err::DiskFull;
        case Cause::IoError:
            return err::DeviceIO;
        case Cause::Damaged:
        case Cause::UnsupportedFormat:
        case Cause::TooCostly:
        case Cause::MetadataUnreadable:
            return err::InvalidPicture;
        case Cause::TooLarge:
        case Cause::OutOfMemory:
        case Cause::FileTooLarge:
            return err::OutOfMemory;
        case Cause::InvalidSize:
        case Cause::TooLargeForFormat:
        case Cause::DoesNotFit:
        case Cause::EncoderFailed:
            return err::InvalidArgument;
        case Cause::Overflow:
            return err::Overflow;
        case Cause::DivisionByZero:
            return err::DivisionByZero;
        case Cause::Internal:
            return err::Internal;
        case Cause::NoSuchFolder:
        case Cause::IsFolder:
        case Cause::NotRegularFile:
        case Cause::NoPermission:
        case Cause::ReadOnly:
        case Cause::ReadOnlyFileSystem:
        case Cause::NameTooLong:
        case Cause::NoFileName:
        case Cause::SymbolicLink:
        case Cause::DanglingLink:
        case Cause::FolderUnreadable:
        case Cause::ReplacedMeanwhile:
        case Cause::NoExclusiveCreate:
        case Cause::WouldOverwriteOriginal:
        case Cause::SameResultAsAnother:
        case Cause::EarlierResult:
        case Cause::WrittenByRunBefore:
            break;
    }
    return err::PathFileAccess;
}

void Raise(int number, const QString& description, const QString& source) {
    throw RuntimeError(number, source.isEmpty() ? ExeName() : source,
                       description.isEmpty() ? StandardText(number) : description);
}

void Raise(const core::Error& cause, int number, const QString& description, const QString& source) {
    if (number == 0) number = RuntimeErrorNumber(cause.cause);
    RuntimeError error(number, source.isEmpty() ? ExeName() : source,
                       description.isEmpty() ? StandardText(number) : description);
    error.setCause(cause);
    throw error;
}

QString ExeName() {
    if (QCoreApplication::instance()) {
        const QString path = QCoreApplication::applicationFilePath();
        if (!path.isEmpty()) return QFileInfo(path).completeBaseName();
    }
    // Without an application object, fall back to what the kernel says this process runs.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).completeBaseName();
}

double Round(double value) { return std::nearbyint(value); }  // default FE_TONEAREST: ties to even

int32_t CheckedAdd(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_add_overflow(a, b, &r)) Raise(err::Overflow);
    return r;
}

int32_t CheckedMul(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) Raise(err::Overflow);
    return r;
}


std::optional<double> ToNumber(const QVariant& value) {
    if (!value.isValid()) return 0.0;
    double number = 0;
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool() ? -1.0 : 0.0;
        case QMetaType::QString: {
            bool ok = false;
            number = QLocale().toDouble(value.toString().trimmed(), &ok);
            if (!ok) return std::nullopt;
            break;
        }
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Float:
        case QMetaType::Double:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            number = value.toDouble();
            break;
        default:
            return std::nullopt;
    }
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

bool IsNumeric(const QVariant& value) { return ToNumber(value).has_value(); }

double CDbl(const QVariant& value) {
    const std::optional<double> number = ToNumber(value);
    if (!number) Raise(err::TypeMismatch);
    return *number;
}


int32_t CLng(const QVariant& value) {
    const double rounded = Round(CDbl(value));
    if (rounded < double(std::numeric_limits<int32_t>::min()) ||
        rounded > double(std::numeric_limits<int32_t>::max()))
        Raise(err::Overflow);
    return int32_t(rounded);
}

}  // namespace platform
