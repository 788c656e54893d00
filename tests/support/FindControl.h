#pragma once
// A window's control by its objectName; a missing control ends the test at once with its name.

#include <QObject>
#include <QString>

template <class T>
T* FindControl(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found) qFatal("no control %s", name);
    return found;
}
