// Takes the README's pictures of the real windows: the main window connected
// to a development database with a workbook's sheet in the preview and a
// mapping made by its header row, the errors window after "Check", and the
// errors window after "Process data". Run by scripts/screenshots.sh with the
// offscreen platform; the PNGs go to the folder named on the command line.

#include "DevDbHome.h"
#include "app/WidgetDesktopServices.h"
#include "app/mainFRm.h"
#include "import/Unit2.h"
#include "oracle/OracleLogon.h"
#include "tests/app/WidgetTest.h"
#include "tests/import/XlsxBook.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <stdexcept>

using rowpour::testing::DevDbHome;

namespace
{

// The desktop program's services, except that the import's message boxes
// would wait for a click: their texts are printed instead.
class ScreenshotServices : public rowpour::app::WidgetDesktopServices
{
public:
    void showImportMessage(const QString &caption, const QString &text, rowpour::oracle::MessageIcon) override
    {
        std::printf("[%s] %s\n", qPrintable(caption), qPrintable(text));
    }
};

void settle(int milliseconds = 200)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void waitForPreview(TForm1 &form)
{
    QElapsedTimer clock;
    clock.start();
    while ((form.Preview()->Loading() || !form.Preview()->Data()) && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (form.Preview()->Loading())
        throw std::runtime_error("the preview did not finish reading");
}

void save(QWidget &window, const QString &path)
{
    settle();
    // A palette image keeps the pictures small; the windows use few colours.
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_Indexed8,
                                                                   Qt::ThresholdDither | Qt::AvoidDither);
    if (!picture.save(path))
        throw std::runtime_error("cannot write " + path.toStdString());
    std::printf("%s\n", qPrintable(path));
}

DevDbHome &prepareDatabase()
{
    static DevDbHome home(QStringLiteral("DEMO"));
    home.createUser(QStringLiteral("demo"), QStringLiteral("demo"));
    const auto result = home.sql(
        QStringLiteral("demo/demo"),
        {QStringLiteral("create table STAFF (ID number(6) not null, FIRST_NAME varchar2(20), "
                        "LAST_NAME varchar2(20), BORN date, SALARY number(8,2), CITY varchar2(20))")});
    if (result.exitCode != 0)
        throw std::runtime_error(result.err.toStdString());
    qputenv("ORACLE_HOME", home.path().toUtf8());
    qputenv("TNS_ADMIN", (home.path() + QStringLiteral("/network/admin")).toUtf8());
    for (const QString &entry : DevDbHome::clientNlsEnvironment())
        qputenv(entry.section(QLatin1Char('='), 0, 0).toUtf8(), entry.section(QLatin1Char('='), 1).toUtf8());
    return home;
}

void writeWorkbook(const QString &path)
{
    rowpour::testing::WriteXlsx(path,
                                {{QStringLiteral("Summary"), {{QStringLiteral("Staff list, 2024")}}},
                                 {QStringLiteral("Drafts"), {{QStringLiteral("old")}}, true},
                                 {QStringLiteral("Staff"),
                                  {{"Id", "First name", "Last name", "Born", "Salary", "City"},
                                   {"1", "Иван", "Петров", "12.05.1985", "1200.5", "Москва"},
                                   {"2", "Мария", "Сидорова", "03.11.1990", "980", "Казань"},
                                   {"3", "Пётр", "Иванов", "31.02.1979", "1500", "Тверь"},
                                   {"4", "Анна", "Кузнецова", "21.07.1988", "1100.25", "Санкт-Петербург"},
                                   {"5", "Олег", "Смирнов", "01.09.1992", "123456.7", "Омск"},
                                   {"6", "Елена", "Попова", "14.02.1995", "870", "Самара"}}}});
}

void logOn(TForm1 &form)
{
    rowpour::testing::WhenModal([](QWidget *modal) {
        auto *window = qobject_cast<rowpour::oracle::TLogOnForm *>(modal);
        if (!window) {
            modal->close();
            return;
        }
        window->UsernameEdit->setText(QStringLiteral("demo"));
        window->PasswordEdit->setText(QStringLiteral("demo"));
        window->AliasList->setEditText(QStringLiteral("DEMO"));
        QMetaObject::invokeMethod(window, "accept");
    });
    form.Button1Click();
    if (!form.Connected())
        throw std::runtime_error("the logon failed");
}

int takeScreenshots(const QString &outDir)
{
    prepareDatabase();
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("staff 2024.xlsx"));
    writeWorkbook(book);
    rowpour::oracle::InstallDesktopServices(std::make_unique<ScreenshotServices>());

    TForm1 form;
    TForm2 errors;
    form.SetErrorsWindow(&errors);
    form.resize(760, 680);
    form.show();
    logOn(form);
    form.ComboBox1()->setCurrentIndex(form.ComboBox1()->findText(QStringLiteral("STAFF")));
    form.ComboBox1Change();

    form.FilenameEdit1()->SetText(book);
    form.RefreshPreview();
    waitForPreview(form);
    form.SheetBox()->setCurrentIndex(form.SheetBox()->findData(QStringLiteral("Staff")));
    form.RefreshPreview();
    waitForPreview(form);
    form.Preview()->Table()->setCurrentIndex(form.Preview()->Table()->model()->index(0, 0));
    form.MapByHeaderClick();
    form.Edit1()->setText(QStringLiteral("2"));
    form.Edit2()->setText(QStringLiteral("7"));
    save(form, outDir + QStringLiteral("/main-window.png"));

    errors.resize(620, 360);
    form.CheckClick();
    save(errors, outDir + QStringLiteral("/check-report.png"));
    errors.hide();

    TForm2 loadErrors;
    loadErrors.resize(620, 300);
    form.SetErrorsWindow(&loadErrors);
    // With the seek on, the row whose date the session cannot read would end the run.
    form.CheckBox2()->setChecked(false);
    form.Button2Click();
    save(loadErrors, outDir + QStringLiteral("/errors-window.png"));
    form.SetErrorsWindow(&errors);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rowpour-screenshots DIR\n");
        return 2;
    }
    try {
        return takeScreenshots(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "rowpour-screenshots: %s\n", e.what());
        return 1;
    }
}
