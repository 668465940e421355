#pragma once

#include <QObject>

#include <memory>

// All suites build into one executable, quadtherm_tests, which runs the suite
// named by its first argument: `quadtherm_tests tst_panel -v2`. One
// executable compiles in a few batches of suites, so the Qt headers are
// parsed a few times instead of once per suite.
namespace quadtherm::test {

enum class SuiteApp { Core, Gui };
using SuiteMaker = std::unique_ptr<QObject> (*)();

// Registers the suite of source file `file` under the file's base name.
bool registerSuite(const char* file, SuiteApp app, SuiteMaker make);

} // namespace quadtherm::test

// Ends a suite's namespace body: `Class` runs under a QApplication (Gui) or a
// QCoreApplication (Core), like QTEST_MAIN and QTEST_GUILESS_MAIN.
#define QUADTHERM_TEST_SUITE(Class, app)                                                           \
    [[maybe_unused]] const bool registeredSuite = ::quadtherm::test::registerSuite(                \
        __FILE__, ::quadtherm::test::SuiteApp::app,                                                \
        []() -> std::unique_ptr<QObject> { return std::make_unique<Class>(); });
