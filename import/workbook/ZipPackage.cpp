#include "import/workbook/ZipPackage.h"

#include "import/workbook/WorkbookErrors.h"

#include <QFile>
#include <zip.h>

#include <algorithm>
#include <cstring>

namespace rowpour::workbook
{

namespace
{

// No real sheet part comes near these; a part that inflates further, or far
// beyond its compressed size, is a zip bomb.
constexpr std::uint64_t kMaxPartBytes = std::uint64_t(4) << 30;
constexpr std::uint64_t kRatioCheckFrom = std::uint64_t(256) << 20;
constexpr std::uint64_t kMaxRatio = 200;

QString partText(const std::string &name)
{
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

class ZipEntryStream : public ByteSource
{
public:
    ZipEntryStream(zip_file_t *file, std::string name, std::uint64_t compressedSize)
        : file_(file), name_(std::move(name)), compressed_(std::max<std::uint64_t>(compressedSize, 1))
    {
    }
    ~ZipEntryStream() override { zip_fclose(file_); }

    std::size_t read(char *buffer, std::size_t size) override
    {
        const zip_int64_t n = zip_fread(file_, buffer, size);
        if (n < 0)
            throw damaged(QStringLiteral("part %1: %2")
                              .arg(partText(name_), QString::fromUtf8(zip_file_strerror(file_))));
        total_ += std::uint64_t(n);
        if (total_ > kMaxPartBytes || (total_ > kRatioCheckFrom && total_ / compressed_ > kMaxRatio))
            throw damaged(QStringLiteral("part %1 expands far beyond any real sheet").arg(partText(name_)));
        return std::size_t(n);
    }

private:
    zip_file_t *file_;
    std::string name_;
    std::uint64_t compressed_;
    std::uint64_t total_ = 0;
};

QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

} // namespace

ZipArchive::ZipArchive(zip *archive, QByteArray bytes) : archive_(archive), bytes_(std::move(bytes)) {}

ZipArchive::~ZipArchive()
{
    zip_discard(archive_);
}

std::unique_ptr<ZipArchive> ZipArchive::openFile(const QString &path)
{
    int code = 0;
    zip *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (archive == nullptr)
        throw damaged(QStringLiteral("zip: %1").arg(zipErrorText(code)));
    return std::unique_ptr<ZipArchive>(new ZipArchive(archive, {}));
}

std::unique_ptr<ZipArchive> ZipArchive::openMemory(const QByteArray &bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        throw damaged(QStringLiteral("zip: out of memory"));
    }
    zip *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (archive == nullptr) {
        const QString text = QString::fromUtf8(zip_error_strerror(&error));
        zip_source_free(source);
        zip_error_fini(&error);
        throw damaged(QStringLiteral("zip: %1").arg(text));
    }
    zip_error_fini(&error);
    return std::unique_ptr<ZipArchive>(new ZipArchive(archive, bytes));
}

long long ZipArchive::locate(const std::string &name) const
{
    return zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_RAW);
}

bool ZipArchive::contains(const std::string &name) const
{
    return locate(name) >= 0;
}

std::unique_ptr<ByteSource> ZipArchive::openStream(const std::string &name) const
{
    const long long index = locate(name);
    if (index < 0)
        throw damaged(QStringLiteral("part %1 is missing").arg(partText(name)));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, zip_uint64_t(index), 0, &stat) != 0)
        throw damaged(
            QStringLiteral("part %1: %2").arg(partText(name), QString::fromUtf8(zip_strerror(archive_))));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw FormatError(QString::fromUtf8(texts::kEncrypted));
    zip_file_t *file = zip_fopen_index(archive_, zip_uint64_t(index), 0);
    if (file == nullptr)
        throw damaged(
            QStringLiteral("part %1: %2").arg(partText(name), QString::fromUtf8(zip_strerror(archive_))));
    const std::uint64_t compressed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    return std::make_unique<ZipEntryStream>(file, name, compressed);
}

std::string ZipArchive::readAll(const std::string &name, std::size_t maxBytes) const
{
    std::unique_ptr<ByteSource> stream = openStream(name);
    std::string text;
    char buffer[65536];
    for (;;) {
        const std::size_t n = stream->read(buffer, sizeof buffer);
        if (n == 0)
            break;
        if (text.size() + n > maxBytes)
            throw damaged(QStringLiteral("part %1 is too large").arg(partText(name)));
        text.append(buffer, n);
    }
    return text;
}

} // namespace rowpour::workbook
