#pragma once
// Streams of bytes read piece by piece: a file, bytes in memory, or (see
// ZipPackage.h) a part of a zip package inflated as it is read.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>

namespace rowpour::workbook
{

// read() returns 0 at the end and throws FormatError when the data is damaged
// or cannot be read.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual std::size_t read(char *buffer, std::size_t size) = 0;
};

// Bytes already in memory; the caller keeps them alive.
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

// A regular file, read from its start.
class FileSource : public ByteSource
{
public:
    // Throws FormatError when the file cannot be opened.
    explicit FileSource(const QString &path);
    std::size_t read(char *buffer, std::size_t size) override;

private:
    QFile file_;
};

} // namespace rowpour::workbook
