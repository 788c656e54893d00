#pragma once
// Sets the default locale (the user's locale as the program sees it) for the life of the object.

#include <QLocale>

class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(previous_); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale previous_;
};

// The Turkish locale: decimal comma, full stop between thousands.
inline QLocale Turkish() { return QLocale(QLocale::Turkish, QLocale::Turkey); }
