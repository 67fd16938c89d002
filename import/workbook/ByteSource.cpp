#include "import/workbook/ByteSource.h"

#include "import/workbook/WorkbookErrors.h"

#include <algorithm>
#include <cstring>

namespace rowpour::workbook
{

std::size_t MemorySource::read(char *buffer, std::size_t size)
{
    const std::size_t n = std::min(size, size_ - pos_);
    if (n != 0)
        std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

FileSource::FileSource(const QString &path) : file_(path)
{
    if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw FormatError(QString::fromUtf8(texts::kFileUnreadable).arg(file_.errorString()));
}

std::size_t FileSource::read(char *buffer, std::size_t size)
{
    const qint64 n = file_.read(buffer, qint64(size));
    if (n < 0)
        throw FormatError(QString::fromUtf8(texts::kFileUnreadable).arg(file_.errorString()));
    return std::size_t(n);
}

} // namespace rowpour::workbook
