#pragma once
// A temporary application-data folder for preferences tests: XDG_DATA_HOME points into a fresh
// temporary directory for the test's lifetime, and the earlier value comes back afterwards.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <gtest/gtest.h>

class PreferencesTestHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temporary_.isValid());
        hadDataHome_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldDataHome_ = qgetenv("XDG_DATA_HOME");
        // A data home that does not exist yet: Load must create the folders.
        qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    }

    void TearDown() override
    {
        if (hadDataHome_)
            qputenv("XDG_DATA_HOME", oldDataHome_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    [[nodiscard]] QString dataHome() const { return temporary_.path() + QStringLiteral("/data"); }
    [[nodiscard]] QString folder() const { return dataHome() + QStringLiteral("/KelvoConnect"); }
    [[nodiscard]] QString filePath() const { return folder() + QStringLiteral("/KelvoConnect.txt"); }

    void writeFile(const QByteArray &text) const
    {
        ASSERT_TRUE(QDir().mkpath(folder()));
        QFile file(filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text), text.size());
    }

    [[nodiscard]] QByteArray readFile() const
    {
        QFile file(filePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

private:
    QTemporaryDir temporary_;
    bool hadDataHome_ = false;
    QByteArray oldDataHome_;
};
