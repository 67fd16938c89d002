// rowpour-batch sheets: the sheets of a workbook, as the sheet option names them.

#include "cli/CliTexts.h"
#include "cli/Command.h"
#include "cli/OracleCommand.h"
#include "import/workbook/Workbook.h"
#include "platform/FileWriting.h"

namespace rowpour::cli
{
namespace
{

int run(const QStringList &args)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
        const QString usage = QString::fromUtf8(texts::CommandUsage)
                                  .arg(QStringLiteral("sheets"), QString::fromUtf8(texts::SheetsUsage));
        platform::WriteStandardError((usage + QLatin1Char('\n')).toUtf8());
        return 2;
    }
    QByteArray out;
    int number = 0;
    for (const workbook::SheetInfo &sheet : workbook::listSheets(args[0])) {
        out += QString::number(++number).toUtf8() + '\t' + escapeField(sheet.name).toUtf8();
        if (sheet.hidden)
            out += QByteArray("\t") + texts::HiddenSheet;
        out += '\n';
    }
    try {
        platform::WriteStandardOutput(out);
    } catch (const platform::EFileWriteError &) {
        return 1;
    }
    return 0;
}

const CommandRegistration registration({QStringLiteral("sheets"), QString::fromUtf8(texts::SheetsUsage),
                                        QString::fromUtf8(texts::SheetsSummary), run});

} // namespace
} // namespace rowpour::cli
