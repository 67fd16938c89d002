#include "import/workbook/CompoundFile.h"

#include "import/workbook/WorkbookErrors.h"

#include <cstring>

namespace rowpour::workbook
{

namespace
{

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kMaxRegular = 0xFFFFFFFA;

std::uint32_t u32(const char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v; // the format is little-endian, like the machines we build for
}

std::uint16_t u16(const char *p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

FormatError broken(const QString &what)
{
    return damaged(QStringLiteral("compound file: %1").arg(what));
}

} // namespace

CompoundFile::CompoundFile(const QByteArray &file) : file_(file)
{
    if (file.size() < 512)
        throw broken(QStringLiteral("the header is cut off"));
    const char *h = file.constData();
    const std::uint16_t sectorShift = u16(h + 30);
    const std::uint16_t miniShift = u16(h + 32);
    if ((sectorShift != 9 && sectorShift != 12) || miniShift != 6)
        throw broken(QStringLiteral("unknown sector sizes"));
    sectorSize_ = 1u << sectorShift;
    miniSectorSize_ = 1u << miniShift;
    const std::uint32_t fatSectors = u32(h + 44);
    const std::uint32_t firstDirectory = u32(h + 48);
    miniCutoff_ = u32(h + 56);
    const std::uint32_t firstMiniFat = u32(h + 60);
    std::uint32_t nextDifat = u32(h + 68);
    const std::uint32_t difatSectors = u32(h + 72);
    const std::uint64_t sectorCount = (std::uint64_t(file.size()) + sectorSize_ - 1) / sectorSize_;
    if (fatSectors > sectorCount || difatSectors > sectorCount)
        throw broken(QStringLiteral("the allocation table is larger than the file"));

    // The allocation table's sectors: 109 in the header, the rest in a chain.
    std::vector<std::uint32_t> fatSectorList;
    for (int i = 0; i < 109 && fatSectorList.size() < fatSectors; ++i)
        fatSectorList.push_back(u32(h + 76 + 4 * i));
    const std::uint32_t perSector = sectorSize_ / 4;
    for (std::uint32_t d = 0; d < difatSectors && fatSectorList.size() < fatSectors; ++d) {
        const char *s = sector(nextDifat);
        for (std::uint32_t i = 0; i + 1 < perSector && fatSectorList.size() < fatSectors; ++i)
            fatSectorList.push_back(u32(s + 4 * i));
        nextDifat = u32(s + 4 * (perSector - 1));
    }
    if (fatSectorList.size() < fatSectors)
        throw broken(QStringLiteral("the allocation table is incomplete"));
    fat_.reserve(std::size_t(fatSectors) * perSector);
    for (std::uint32_t index : fatSectorList) {
        const char *s = sector(index);
        for (std::uint32_t i = 0; i < perSector; ++i)
            fat_.push_back(u32(s + 4 * i));
    }

    const std::string directory = readChain(firstDirectory, std::uint64_t(-1));
    for (std::size_t off = 0; off + 128 <= directory.size(); off += 128) {
        const char *e = directory.data() + off;
        const std::uint16_t nameBytes = std::min<std::uint16_t>(u16(e + 64), 64);
        Entry entry;
        entry.name =
            QString::fromUtf16(reinterpret_cast<const char16_t *>(e), nameBytes >= 2 ? nameBytes / 2 - 1 : 0);
        entry.type = std::uint8_t(e[66]);
        entry.start = u32(e + 116);
        entry.size = u32(e + 120);
        if (sectorShift == 12)
            entry.size |= std::uint64_t(u32(e + 124)) << 32;
        entries_.push_back(entry);
    }
    if (entries_.empty() || entries_.front().type != 5)
        throw broken(QStringLiteral("the root entry is missing"));
    if (firstMiniFat < kMaxRegular) {
        const std::string miniFat = readChain(firstMiniFat, std::uint64_t(-1));
        for (std::size_t i = 0; i + 4 <= miniFat.size(); i += 4)
            miniFat_.push_back(u32(miniFat.data() + i));
        miniStream_ = readChain(entries_.front().start, entries_.front().size);
    }
}

const char *CompoundFile::sector(std::uint32_t index) const
{
    const std::uint64_t offset = (std::uint64_t(index) + 1) * sectorSize_;
    if (index >= kMaxRegular || offset + sectorSize_ > std::uint64_t(file_.size()))
        throw broken(QStringLiteral("a sector lies outside the file"));
    return file_.constData() + offset;
}

std::vector<std::uint32_t> CompoundFile::chain(std::uint32_t start,
                                               const std::vector<std::uint32_t> &table) const
{
    std::vector<std::uint32_t> sectors;
    for (std::uint32_t s = start; s != kEndOfChain;) {
        if (s >= table.size() || s == kFree)
            throw broken(QStringLiteral("a sector chain is broken"));
        if (sectors.size() >= table.size())
            throw broken(QStringLiteral("a sector chain loops"));
        sectors.push_back(s);
        s = table[s];
    }
    return sectors;
}

std::string CompoundFile::readChain(std::uint32_t start, std::uint64_t size) const
{
    std::string data;
    if (start == kEndOfChain)
        return data;
    const std::vector<std::uint32_t> sectors = chain(start, fat_);
    const std::uint64_t available = std::uint64_t(sectors.size()) * sectorSize_;
    if (size != std::uint64_t(-1) && size > available)
        throw broken(QStringLiteral("a stream is longer than its sectors"));
    data.reserve(std::size_t(std::min(size, available)));
    for (std::uint32_t s : sectors)
        data.append(sector(s), sectorSize_);
    if (size != std::uint64_t(-1))
        data.resize(std::size_t(size));
    return data;
}

std::string CompoundFile::readMiniChain(std::uint32_t start, std::uint64_t size) const
{
    const std::vector<std::uint32_t> sectors = chain(start, miniFat_);
    if (size > std::uint64_t(sectors.size()) * miniSectorSize_)
        throw broken(QStringLiteral("a stream is longer than its sectors"));
    std::string data;
    for (std::uint32_t s : sectors) {
        const std::uint64_t offset = std::uint64_t(s) * miniSectorSize_;
        if (offset + miniSectorSize_ > miniStream_.size())
            throw broken(QStringLiteral("a small stream lies outside its container"));
        data.append(miniStream_, std::size_t(offset), miniSectorSize_);
    }
    data.resize(std::size_t(size));
    return data;
}

const CompoundFile::Entry *CompoundFile::find(const QString &name) const
{
    for (const Entry &e : entries_)
        if (e.type == 2 && e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

bool CompoundFile::hasStream(const QString &name) const
{
    return find(name) != nullptr;
}

std::optional<std::string> CompoundFile::stream(const QString &name) const
{
    const Entry *e = find(name);
    if (e == nullptr)
        return std::nullopt;
    if (e->size > std::uint64_t(file_.size()))
        throw broken(QStringLiteral("a stream is longer than the file"));
    if (e->size < miniCutoff_)
        return e->size == 0 ? std::string() : readMiniChain(e->start, e->size);
    return readChain(e->start, e->size);
}

} // namespace rowpour::workbook
