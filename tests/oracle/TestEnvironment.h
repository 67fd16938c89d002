#pragma once
// Test surroundings for the Oracle layer: a private temporary directory for
// the registry files and Oracle homes, a clean environment, and the client
// library unloaded and forgotten before and after each test.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace rowpour::oracle::testing
{

class OracleLayerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    QString path(const QString &relative) const { return dir_.filePath(relative); }
    // Writes a file (creating its directories) and returns its path.
    QString writeFile(const QString &relative, const QByteArray &contents) const;
    // Writes the read-only machine registry file.
    void writeMachineRegistry(const QByteArray &contents) const;
    void setArguments(const QStringList &arguments);
    static void resetClientLibrary();

private:
    QTemporaryDir dir_;
};

// Path of a stand-in client library variant ("full", "no81", ...).
QString stubLibrary(const QString &variant);

} // namespace rowpour::oracle::testing
