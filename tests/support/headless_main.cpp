// Entry point of the tests that need no panel: Qt Core only (the link layer's objects and
// ombrastel-ctl's children live in its event loop), then GoogleTest.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
