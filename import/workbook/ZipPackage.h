#pragma once
// Read access to the parts of a zip package (xlsx, ods) through libzip, with
// limits that stop zip bombs before they cost time or memory.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>
#include <string>

struct zip;
struct zip_file;

namespace rowpour::workbook
{

// A stream of bytes read piece by piece. read() returns 0 at the end and throws
// FormatError when the data is damaged.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual std::size_t read(char *buffer, std::size_t size) = 0;
};

// Bytes already in memory.
class MemorySource : public ByteSource
{
public:
    MemorySource(const char *data, std::size_t size) : data_(data), size_(size) {}
    std::size_t read(char *buffer, std::size_t size) override;

private:
    const char *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

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
