// The control's tests need a QApplication; widgets stay offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/temp_home.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    unsetenv("KESTREL_LOCAL_IP");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
