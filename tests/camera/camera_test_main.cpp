// The camera tests run inside a Qt application: the worker hands its steps to the thread that runs
// the application's events, as it does in the program.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
