#include "platform/ExeVersion.h"

#include <QFile>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace rowpour::platform
{

namespace
{

constexpr char kNoteName[] = "rowpour";
constexpr std::uint32_t kNoteTypeFileVersion = 1;

constexpr std::size_t padTo4(std::size_t n)
{
    return (n + 3) & ~std::size_t(3);
}

} // namespace

// The note itself: header (name size, descriptor size, type), name and
// descriptor, each padded to 4 bytes. Written in assembly so that the compiler
// neither drops it nor aligns it beyond the 4 bytes note readers expect.
asm(".pushsection .note.rowpour.version,\"a\",@note\n"
    ".balign 4\n"
    ".long 8\n"
    ".long 2f - 1f\n"
    ".long 1\n"
    ".asciz \"rowpour\"\n"
    "1: .asciz \"" ROWPOUR_VERSION_TEXT "\"\n"
    "2: .balign 4\n"
    ".popsection\n");

namespace
{

constexpr std::uint32_t kSectionTypeNote = 7; // SHT_NOTE
constexpr std::uint32_t kSegmentTypeNote = 4; // PT_NOTE
constexpr qint64 kMaxNoteBlock = 1 << 20;     // notes are small; anything larger is not ours

// Reads the fields of an ELF file of either class and byte order.
class ElfReader
{
public:
    explicit ElfReader(QFile &file) : file_(file) {}

    bool readHeader()
    {
        const QByteArray ident = readAt(0, 16);
        if (ident.size() != 16 || std::memcmp(ident.constData(),
                                              "\x7f"
                                              "ELF",
                                              4) != 0)
            return false;
        if (ident[4] != 1 && ident[4] != 2)
            return false;
        if (ident[5] != 1 && ident[5] != 2)
            return false;
        is64_ = ident[4] == 2;
        bigEndian_ = ident[5] == 2;
        return true;
    }

    // Offsets and sizes of every note block, from the section table and, for
    // files without one, from the program headers.
    std::vector<std::pair<qint64, qint64>> noteBlocks()
    {
        std::vector<std::pair<qint64, qint64>> blocks = noteSections();
        if (blocks.empty())
            blocks = noteSegments();
        return blocks;
    }

    std::optional<std::uint64_t> word(qint64 offset, int size)
    {
        const QByteArray bytes = readAt(offset, size);
        if (bytes.size() != size)
            return std::nullopt;
        return decode(bytes.constData(), size);
    }

    std::uint64_t decode(const char *p, int size) const
    {
        const auto *u = reinterpret_cast<const uchar *>(p);
        switch (size) {
        case 2:
            return bigEndian_ ? qFromBigEndian<quint16>(u) : qFromLittleEndian<quint16>(u);
        case 4:
            return bigEndian_ ? qFromBigEndian<quint32>(u) : qFromLittleEndian<quint32>(u);
        default:
            return bigEndian_ ? qFromBigEndian<quint64>(u) : qFromLittleEndian<quint64>(u);
        }
    }

    QByteArray readAt(qint64 offset, qint64 size)
    {
        if (offset < 0 || size < 0 || size > kMaxNoteBlock || !file_.seek(offset))
            return {};
        return file_.read(size);
    }

private:
    int addressSize() const { return is64_ ? 8 : 4; }

    std::vector<std::pair<qint64, qint64>> noteSections()
    {
        // e_shoff, e_shentsize, e_shnum
        const auto tableOffset = word(is64_ ? 0x28 : 0x20, addressSize());
        const auto entrySize = word(is64_ ? 0x3A : 0x2E, 2);
        const auto count = word(is64_ ? 0x3C : 0x30, 2);
        std::vector<std::pair<qint64, qint64>> blocks;
        if (!tableOffset || !entrySize || !count)
            return blocks;
        for (std::uint64_t i = 0; i < *count; ++i) {
            const qint64 entry = qint64(*tableOffset + i * *entrySize);
            const auto type = word(entry + 4, 4);
            const auto offset = word(entry + (is64_ ? 0x18 : 0x10), addressSize());
            const auto size = word(entry + (is64_ ? 0x20 : 0x14), addressSize());
            if (type && offset && size && *type == kSectionTypeNote)
                blocks.emplace_back(qint64(*offset), qint64(*size));
        }
        return blocks;
    }

    std::vector<std::pair<qint64, qint64>> noteSegments()
    {
        // e_phoff, e_phentsize, e_phnum
        const auto tableOffset = word(is64_ ? 0x20 : 0x1C, addressSize());
        const auto entrySize = word(is64_ ? 0x36 : 0x2A, 2);
        const auto count = word(is64_ ? 0x38 : 0x2C, 2);
        std::vector<std::pair<qint64, qint64>> blocks;
        if (!tableOffset || !entrySize || !count)
            return blocks;
        for (std::uint64_t i = 0; i < *count; ++i) {
            const qint64 entry = qint64(*tableOffset + i * *entrySize);
            const auto type = word(entry, 4);
            const auto offset = word(entry + (is64_ ? 0x08 : 0x04), addressSize());
            const auto size = word(entry + (is64_ ? 0x20 : 0x10), addressSize());
            if (type && offset && size && *type == kSegmentTypeNote)
                blocks.emplace_back(qint64(*offset), qint64(*size));
        }
        return blocks;
    }

    QFile &file_;
    bool is64_ = false;
    bool bigEndian_ = false;
};

// The descriptor of our version note inside one block of notes, if present.
std::optional<QString> versionInBlock(ElfReader &elf, const QByteArray &block)
{
    qsizetype pos = 0;
    while (pos + 12 <= block.size()) {
        const std::uint64_t nameSize = elf.decode(block.constData() + pos, 4);
        const std::uint64_t descSize = elf.decode(block.constData() + pos + 4, 4);
        const std::uint64_t type = elf.decode(block.constData() + pos + 8, 4);
        const std::uint64_t nameStart = std::uint64_t(pos) + 12;
        const std::uint64_t descStart = nameStart + padTo4(nameSize);
        const std::uint64_t end = descStart + padTo4(descSize);
        if (end > std::uint64_t(block.size()))
            return std::nullopt;
        const QByteArray name = block.mid(qsizetype(nameStart), qsizetype(nameSize));
        if (type == kNoteTypeFileVersion && name == QByteArray(kNoteName, sizeof kNoteName)) {
            QByteArray desc = block.mid(qsizetype(descStart), qsizetype(descSize));
            const qsizetype nul = desc.indexOf('\0');
            if (nul >= 0)
                desc.truncate(nul);
            return QString::fromUtf8(desc);
        }
        pos = qsizetype(end);
    }
    return std::nullopt;
}

} // namespace

QString ReadFileVersion(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    ElfReader elf(file);
    if (!elf.readHeader())
        return {};
    for (const auto &[offset, size] : elf.noteBlocks()) {
        if (const auto version = versionInBlock(elf, elf.readAt(offset, size)))
            return *version;
    }
    return {};
}

} // namespace rowpour::platform
