#include "analyze/Analysis.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// Plot tests draw text, which needs a QGuiApplication for the whole run.
int main(int argc, char *argv[])
{
    kpx::preferOffscreenPlatformWithoutDisplay();
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
