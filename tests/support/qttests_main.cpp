// Entry point of a folder's QtTest executable: the class named by the first argument, or every class.
#include "core/picture.h"
#include "tests/support/QtTests.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace qttests {

namespace {
std::map<std::string, Factory>& Registry() {
    static std::map<std::string, Factory> registry;
    return registry;
}
}  // namespace

bool Register(const char* name, Factory factory) {
    Registry().emplace(name, std::move(factory));
    return true;
}

}  // namespace qttests

int main(int argc, char** argv) {
    // Settings a test writes go to a folder of its own, never to the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    core::AllowLargeImageReads();
    auto& registry = qttests::Registry();
    std::vector<std::string> classes;
    std::vector<char*> args{argv[0]};
    if (argc > 1 && registry.count(argv[1])) {
        classes.push_back(argv[1]);
        args.insert(args.end(), argv + 2, argv + argc);
    } else {
        for (const auto& entry : registry) classes.push_back(entry.first);
        args.insert(args.end(), argv + 1, argv + argc);
    }
    int failures = 0;
    for (const std::string& name : classes) {
        const std::unique_ptr<QObject> test = registry.at(name)();
        failures += QTest::qExec(test.get(), int(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}
