#include <gtest/gtest.h>

#include <QCoreApplication>

// The layers below the window need an event loop for their posted notifications, and no
// window system.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
