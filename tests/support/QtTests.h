#pragma once
// Several QtTest classes in one executable: each test file registers its class with TORV_QTEST(Class),
// and the executable runs the class its first argument names (CTest runs each class on its own), or all.

#include <QObject>
#include <functional>
#include <memory>

namespace qttests {

using Factory = std::function<std::unique_ptr<QObject>()>;
bool Register(const char* name, Factory factory);

}  // namespace qttests

#define TORV_QTEST(Class)                                                                            \
    [[maybe_unused]] static const bool torvQtTestRegistered_##Class =                                \
        ::qttests::Register(#Class, [] { return std::unique_ptr<QObject>(std::make_unique<Class>()); });
