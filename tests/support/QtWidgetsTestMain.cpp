// Test entry point with a widgets application object (offscreen in CTest), for the window's
// suites.

#include "Global.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    const orvanta::curl::Global curl;
    // Listing the tests (CTest's discovery) runs without the tests' environment; no
    // window appears on a desktop either way.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
