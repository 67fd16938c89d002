// rowpour-batch sheets: the sheets of a workbook, as the sheet option names them.

#include "cli/Command.h"
#include "cli/OracleCommand.h"
#include "import/workbook/Workbook.h"
#include "platform/FileWriting.h"

namespace rowpour::cli
{
namespace
{

const QString kUsage = QStringLiteral("FILE");

int run(const QStringList &args)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
        platform::WriteStandardError(("Usage: rowpour-batch sheets " + kUsage + "\n").toUtf8());
        return 2;
    }
    QByteArray out;
    int number = 0;
    for (const workbook::SheetInfo &sheet : workbook::listSheets(args[0])) {
        out += QString::number(++number).toUtf8() + '\t' + escapeField(sheet.name).toUtf8();
        if (sheet.hidden)
            out += "\thidden";
        out += '\n';
    }
    try {
        platform::WriteStandardOutput(out);
    } catch (const platform::EFileWriteError &) {
        return 1;
    }
    return 0;
}

const CommandRegistration
    registration({QStringLiteral("sheets"), kUsage,
                  QStringLiteral("Lists the sheets of a workbook in workbook order: number, "
                                 "name and \"hidden\" for a hidden sheet, tab-separated. "
                                 "--sheet of cells, load and check takes the name or the "
                                 "number."),
                  run});

} // namespace
} // namespace rowpour::cli
