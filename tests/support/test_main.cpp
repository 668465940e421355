#include "support/test_suite.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTest>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace quadtherm::test {

namespace {

struct Suite {
    SuiteApp app;
    SuiteMaker make;
};

std::map<std::string, Suite>& suites() {
    static std::map<std::string, Suite> all;
    return all;
}

} // namespace

bool registerSuite(const char* file, SuiteApp app, SuiteMaker make) {
    suites()[QFileInfo(QString::fromLocal8Bit(file)).completeBaseName().toStdString()] = {app,
                                                                                          make};
    return true;
}

} // namespace quadtherm::test

int main(int argc, char** argv) {
    using namespace quadtherm::test;
    const auto found = argc > 1 ? suites().find(argv[1]) : suites().end();
    if (found == suites().end()) {
        std::fprintf(stderr, "usage: %s SUITE [QtTest options]\nsuites:", argv[0]);
        for (const auto& [name, suite] : suites())
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }

    // QtTest sees the program name and its own options, not the suite name.
    std::vector<char*> args{argv[0]};
    args.insert(args.end(), argv + 2, argv + argc);
    int count = int(args.size());
    args.push_back(nullptr);
    const Suite& suite = found->second;
    if (suite.app == SuiteApp::Gui) {
        QApplication app(count, args.data());
        app.setAttribute(Qt::AA_Use96Dpi, true);
        const auto tests = suite.make();
        return QTest::qExec(tests.get(), count, args.data());
    }
    QCoreApplication app(count, args.data());
    const auto tests = suite.make();
    return QTest::qExec(tests.get(), count, args.data());
}
