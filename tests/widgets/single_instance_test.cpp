#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/files.h"
#include "platform/qt/single_instance.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

TEST(SingleInstance, ASecondStartRaisesTheFirstAndEnds) {
    test::application();
    test::TempDir runtime;
    SingleInstance first(QString::fromStdString(runtime.path()));
    ASSERT_FALSE(first.handOverToRunningInstance());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    SingleInstance second(QString::fromStdString(runtime.path()));
    EXPECT_TRUE(second.handOverToRunningInstance());
    EXPECT_TRUE(raised.wait(3000));
}

TEST(SingleInstance, AStaleSocketFromACrashDoesNotBlockTheStart) {
    test::application();
    test::TempDir runtime;
    const QString folder = QString::fromStdString(runtime.path());
    SingleInstance next(folder);
    // What a crashed instance leaves behind: a socket path nobody listens on.
    ASSERT_EQ(writeFileAtomically(next.socketPath().toStdString(), "stale"), 0);
    EXPECT_FALSE(next.handOverToRunningInstance());
    SingleInstance third(folder);
    EXPECT_TRUE(third.handOverToRunningInstance());
}

TEST(SingleInstance, SeparateRuntimeFoldersNeverMeet) {
    test::application();
    test::TempDir a, b;
    SingleInstance first(QString::fromStdString(a.path()));
    ASSERT_FALSE(first.handOverToRunningInstance());
    SingleInstance other(QString::fromStdString(b.path()));
    EXPECT_FALSE(other.handOverToRunningInstance());
}

}  // namespace
}  // namespace kolu
