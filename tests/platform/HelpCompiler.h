#pragma once

// Compiles small help files with the help compiler the build uses, for tests that need a help
// file made for the purpose.

#include "common/FileBytes.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace wk::testing {

/// Writes `files` (name, text) into `dir` and compiles the project file "t.hhp" among them there;
/// returns the path of the compiled file, "t.chm" (the project file must name it so).
inline std::string compileHelp(const QTemporaryDir& dir,
                               const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, text] : files)
        writeBytes(QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString(), text);
    QProcess chmcmd;
    chmcmd.setWorkingDirectory(dir.path());
    chmcmd.start(QStringLiteral(WIKABAY_CHMCMD), {QStringLiteral("t.hhp")});
    EXPECT_TRUE(chmcmd.waitForFinished(30000));
    EXPECT_EQ(chmcmd.exitCode(), 0) << chmcmd.readAllStandardError().toStdString();
    return QDir(dir.path()).filePath(QStringLiteral("t.chm")).toStdString();
}

} // namespace wk::testing
