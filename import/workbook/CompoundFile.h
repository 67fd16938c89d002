#pragma once
// Streams of a compound file (the container of xls files), read from memory.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rowpour::workbook
{

class CompoundFile
{
public:
    // Throws FormatError when the container is damaged.
    explicit CompoundFile(const QByteArray &file);

    bool hasStream(const QString &name) const;
    // The whole stream of this name (case-insensitive), or nothing.
    std::optional<std::string> stream(const QString &name) const;

private:
    struct Entry {
        QString name;
        std::uint8_t type;
        std::uint32_t start;
        std::uint64_t size;
    };

    std::vector<std::uint32_t> chain(std::uint32_t start, const std::vector<std::uint32_t> &table) const;
    std::string readChain(std::uint32_t start, std::uint64_t size) const;
    std::string readMiniChain(std::uint32_t start, std::uint64_t size) const;
    const char *sector(std::uint32_t index) const;
    const Entry *find(const QString &name) const;

    const QByteArray &file_;
    std::uint32_t sectorSize_ = 512;
    std::uint32_t miniSectorSize_ = 64;
    std::uint32_t miniCutoff_ = 4096;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<Entry> entries_;
    std::string miniStream_;
};

} // namespace rowpour::workbook
