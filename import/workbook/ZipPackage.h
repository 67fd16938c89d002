#pragma once
// Read access to the parts of a zip package (xlsx, ods) through libzip, with
// limits that stop zip bombs before they cost time or memory.

#include "import/workbook/ByteSource.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>
#include <string>

struct zip;
struct zip_file;

namespace rowpour::workbook
{

class ZipArchive
{
public:
    // Opens a package from a file, or from bytes in memory (kept by the archive).
    static std::unique_ptr<ZipArchive> openFile(const QString &path);
    static std::unique_ptr<ZipArchive> openMemory(const QByteArray &bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Part names compare without regard to case, as package part names do.
    bool contains(const std::string &name) const;
    // A whole (small) part; throws FormatError when missing or larger than maxBytes.
    std::string readAll(const std::string &name, std::size_t maxBytes = std::size_t(64) << 20) const;
    // A (possibly large) part, inflated as it is read.
    std::unique_ptr<ByteSource> openStream(const std::string &name) const;

private:
    ZipArchive(zip *archive, QByteArray bytes);
    long long locate(const std::string &name) const;

    zip *archive_;
    QByteArray bytes_;
};

} // namespace rowpour::workbook
