// The screenshot tool builds the window the way the program does: the picture has the client size
// of the control table even when the environment asks for scaling, and --loaded shows it after a
// Load.
#include "window_test_support.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

TEST(ScreenshotTool, WindowIsNotScaledForScreenDensity) {
    testsupport::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    for (const char *scale : {"1", "2"}) {
        SCOPED_TRACE(scale);
        const QString png = QString::fromStdString(folder.File(std::string("shot") + scale + ".png"));
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QT_SCALE_FACTOR", scale);
        environment.insert("MAILLINK_DEVICE_DIR", QString::fromStdString(folder.Path()));
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(SCREENSHOT_TOOL), {png});
        ASSERT_TRUE(tool.waitForFinished(30000));
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
        const QImage image(png);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(295, 532));
        EXPECT_NE(image.pixel(5, 5), image.pixel(140, 250)) << "the picture shows the window, not a blank";
    }
}

// The picture after a Load differs from the start-up picture where the loaded fields are.
TEST(ScreenshotTool, LoadedPictureShowsTheLoadedFields) {
    testsupport::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const auto shoot = [&](const QStringList &options, const std::string &name) {
        const QString png = QString::fromStdString(folder.File(name));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("MAILLINK_DEVICE_DIR", QString::fromStdString(folder.Path()));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SCREENSHOT_TOOL), options + QStringList{png});
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QImage(png);
    };
    const QImage started = shoot({}, "start.png");
    const QImage loaded = shoot({QStringLiteral("--loaded")}, "loaded.png");
    ASSERT_EQ(loaded.size(), QSize(295, 532));
    ASSERT_EQ(started.size(), loaded.size());
    const QRect rfpiField(62, 105, 99, 24);
    EXPECT_NE(started.copy(rfpiField), loaded.copy(rfpiField));
    const QRect quitButton(120, 472, 49, 33);
    EXPECT_EQ(started.copy(quitButton), loaded.copy(quitButton)) << "the rest is the same window";
}

}  // namespace
