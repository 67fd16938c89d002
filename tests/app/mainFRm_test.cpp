// The main window: start-up state, grid, close rule, file-name edit.

#include "WidgetTest.h"
#include "app/FilenameEdit.h"
#include "app/mainFRm.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using namespace rowpour::app;
using rowpour::testing::AnswerFileDialog;

namespace
{

template <typename Widget = QWidget> Widget *child(const QWidget &form, const char *name)
{
    auto *widget = form.findChild<Widget *>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

TEST(MainWindow, StartsWithDesignCaptionEmptyMappingAndDefaultOptions)
{
    const QString program = QStringLiteral(ROWPOUR_PROGRAM_PATH);
    TForm1 form(nullptr, program);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ROWPOUR v.1.0.0.1"));
    ASSERT_EQ(form.SG()->rowCount(), 5);
    const QStringList headers = {"ORA field", "ORA fType",    "Proceed",
                                 "XLS field", "Process data", "Default value"};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(form.SG()->cell(0, column), headers[column]);
        EXPECT_EQ(form.SG()->model()->headerData(column, Qt::Horizontal).toString(), headers[column]);
        for (int row = 1; row < 5; ++row)
            EXPECT_TRUE(form.SG()->cell(row, column).isEmpty());
    }
    EXPECT_EQ(form.Edit1()->text(), "1");
    EXPECT_TRUE(form.Edit2()->text().isEmpty());
    EXPECT_FALSE(form.CheckBox1()->isChecked());
    EXPECT_TRUE(form.CheckBox2()->isChecked());
    EXPECT_EQ(form.ComboBox1()->count(), 0);
    EXPECT_FALSE(form.ComboBox1()->isEditable());
    EXPECT_EQ(form.ProgressBar1()->value(), 0);
    EXPECT_EQ(form.Label6()->text(), "0/0");
    EXPECT_EQ(form.Button1()->text(), "Connect");
    EXPECT_FALSE(form.Connected());
    EXPECT_TRUE(form.FilenameEdit1()->Text().isEmpty());
}

TEST(MainWindow, CaptionWithoutVersionInformationEndsAtThePoint)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain");
    QFile(plain).open(QIODevice::WriteOnly);
    TForm1 form(nullptr, plain);
    EXPECT_EQ(form.windowTitle(), "ROWPOUR v.");
}

int sumOfColumns(const TStringGrid &grid)
{
    int sum = 0;
    for (int column = 0; column < 6; ++column)
        sum += grid.horizontalHeader()->sectionSize(column);
    return sum;
}

// Headers and names are never cut: a column is at least as wide as its
// texts, the columns share what the grid has left, and they grow with the
// window.
TEST(MainWindow, GridColumnsFitTheirTextsAndShareTheWidthLeft)
{
    TForm1 form;
    form.show();
    TStringGrid &grid = *form.SG();
    grid.setRowCount(3);
    grid.setCell(1, 0, "LAST_NAME_OF_THE_EMPLOYEE");
    grid.setCell(1, 1, "VARCHAR2");
    grid.FitColumns(true);
    const QFontMetrics metrics(grid.font());
    EXPECT_GT(grid.NeededWidth(0), metrics.horizontalAdvance("LAST_NAME_OF_THE_EMPLOYEE"));
    EXPECT_GT(grid.NeededWidth(1),
              QFontMetrics(grid.horizontalHeader()->font()).horizontalAdvance("ORA fType"));
    const auto expectFitted = [&](const char *when) {
        for (int column = 0; column < 6; ++column)
            EXPECT_GE(grid.horizontalHeader()->sectionSize(column), grid.NeededWidth(column))
                << when << column;
    };
    expectFitted("at start");
    EXPECT_EQ(sumOfColumns(grid), grid.viewport()->width());

    const int last = grid.horizontalHeader()->sectionSize(5);
    form.resize(form.width() + 300, form.height());
    QApplication::processEvents();
    EXPECT_EQ(sumOfColumns(grid), grid.viewport()->width()) << "the extra width is shared";
    EXPECT_GT(grid.horizontalHeader()->sectionSize(5), last);

    form.resize(200, form.height());
    QApplication::processEvents();
    expectFitted("narrower than the texts: the grid scrolls instead");

    // The operator's own width stays until the grid is fitted again on purpose.
    grid.horizontalHeader()->resizeSection(2, 150);
    form.resize(900, form.height());
    QApplication::processEvents();
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(2), 150);
    grid.FitColumns(true);
    EXPECT_LT(grid.horizontalHeader()->sectionSize(2), 150);
}

TEST(MainWindow, ColumnWidthsAreTruncatedShares)
{
    struct Case {
        const char *name;
        int width;
        std::array<int, 6> widths;
    };
    const Case cases[] = {
        {"design width", 397, {59, 39, 19, 59, 59, 158}},
        {"exact multiple", 400, {60, 40, 20, 60, 60, 160}},
        {"shares just below whole", 99, {14, 9, 4, 14, 14, 39}},
        {"tiny grid", 19, {2, 1, 0, 2, 2, 7}},
        {"no width", 0, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(GridColumnWidths(c.width), c.widths) << c.name;
}

TEST(MainWindow, GridKeepsCellsOfRowsHiddenByASmallerRowCount)
{
    TForm1 form;
    TStringGrid &grid = *form.SG();
    grid.setCell(4, 3, "7");
    grid.setCell(2, 5, "kept");
    grid.setRowCount(2);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.model()->rowCount(), 1);
    EXPECT_TRUE(grid.cell(4, 3).isEmpty()) << "hidden rows are outside the grid";
    EXPECT_EQ(grid.Cells().Cell(4, 3), "7") << "but their cells are kept";
    grid.setCell(3, 0, "written while hidden");
    grid.setRowCount(6);
    EXPECT_EQ(grid.cell(4, 3), "7");
    EXPECT_EQ(grid.cell(2, 5), "kept");
    EXPECT_EQ(grid.cell(3, 0), "written while hidden");
    EXPECT_TRUE(grid.cell(5, 0).isEmpty());
    EXPECT_EQ(grid.model()->data(grid.model()->index(3, 3)).toString(), "7");

    grid.setRowCount(0);
    EXPECT_EQ(grid.rowCount(), 1) << "the header row stays";
    EXPECT_EQ(grid.cell(0, 0), "ORA field");
}

TEST(MainWindow, OperatorEditsReachTheMappingCells)
{
    TForm1 form;
    QAbstractItemModel *model = form.SG()->model();
    ASSERT_TRUE(model->flags(model->index(0, 3)) & Qt::ItemIsEditable);
    ASSERT_TRUE(model->setData(model->index(0, 3), "2", Qt::EditRole));
    EXPECT_EQ(form.SG()->cell(1, 3), "2");
}

// The original hints, and those of the commands added beside them.
TEST(MainWindow, HintsOfTheGridTheFlatButtonsAndTheAddedCommands)
{
    TForm1 form;
    QStringList withHints;
    for (const QWidget *w : form.findChildren<QWidget *>())
        if (!w->toolTip().isEmpty())
            withHints << w->objectName();
    withHints.sort();
    EXPECT_EQ(withHints, QStringList({"CheckButton", "ErrorsButton", "Label6", "MapByHeaderButton", "SG",
                                      "SpeedButton1", "SpeedButton2"}));
    EXPECT_EQ(form.SG()->toolTip().split('\n'),
              QStringList({"Обработка:", "L<номер лексемы> - выбрать лексему", "D - нормализовать дату "}));
    EXPECT_EQ(child(form, "SpeedButton1")->toolTip(), "Загрузить настройки обработки таблицы");
    EXPECT_EQ(child(form, "SpeedButton2")->toolTip(), "Сохранить текущие настройки обработки эксель таблицы");
    EXPECT_EQ(child(form, "SpeedButton1")->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(child(form, "SpeedButton2")->focusPolicy(), Qt::NoFocus);
    // The counter keeps its caption; what its numbers are is said beside it.
    EXPECT_EQ(form.Label6()->text(), "0/0");
    EXPECT_EQ(child<QLabel>(form, "ProgressCaption")->text(), "row/end/failed/skipped:");
}

TEST(MainWindow, DonationLinkBlinksBetweenHighlightAndNavy)
{
    TForm1 form;
    auto *link = child<TURLLabel>(form, "RzURLLabel2");
    EXPECT_TRUE(link->Blinking());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    const QColor first = link->TextColor();
    QEventLoop wait;
    QTimer::singleShot(TURLLabel::kBlinkIntervalMs + 150, &wait, &QEventLoop::quit);
    wait.exec();
    EXPECT_NE(link->TextColor(), first);
    EXPECT_TRUE(link->TextColor() == QColor(0, 0, 0x80) || first == QColor(0, 0, 0x80));
    EXPECT_FALSE(child<TURLLabel>(form, "RzURLLabel1")->Blinking());
}

// Receives the addresses the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

TEST(MainWindow, LinkLabelsOpenTheirAddressOnAClick)
{
    TForm1 form;
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    for (const char *name : {"RzURLLabel1", "RzURLLabel2"}) {
        auto *link = child<TURLLabel>(form, name);
        const QPointF inside(1, 1);
        QMouseEvent press(QEvent::MouseButtonPress, inside, link->mapToGlobal(inside), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, inside, link->mapToGlobal(inside), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(link, &press);
        QCoreApplication::sendEvent(link, &release);
    }
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.opened, QList<QUrl>({QUrl(mainform::kUpdatesUrl), QUrl(mainform::kDonateUrl)}));
}

class ConnectedForm : public TForm1
{
public:
    explicit ConnectedForm(bool connected) { FConnected = connected; }
    int disconnects = 0;

protected:
    void DisconnectSession() override { ++disconnects; }
};

TEST(MainWindow, CloseDisconnectsOnlyWhenConnected)
{
    for (bool connected : {true, false}) {
        ConnectedForm form(connected);
        form.show();
        child<QPushButton>(form, "Button3")->click();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.disconnects, connected ? 1 : 0);
        EXPECT_EQ(form.Connected(), connected) << "the flag is not reset";
    }
    ConnectedForm framed(true);
    framed.show();
    framed.close(); // through the window frame
    EXPECT_EQ(framed.disconnects, 0) << "the session ends with the window instead";
}

TEST(FilenameEdit, QuotesPathsWithBlanks)
{
    struct Case {
        const char *name;
        QString path;
        QString shown;
    };
    const Case cases[] = {
        {"no blank", "/data/book.xlsx", "/data/book.xlsx"},
        {"blank", "/data/my book.xlsx", "\"/data/my book.xlsx\""},
        {"already quoted", "\"/data/my book.xlsx", "\"/data/my book.xlsx"},
        {"empty", "", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QuotedPath(c.path), c.shown) << c.name;
    EXPECT_EQ(UnquotedPath("\"/data/my book.xlsx\""), "/data/my book.xlsx");
}

TEST(FilenameEdit, BrowseStartsAtTheTypedPathAndQuotesThePick)
{
    QTemporaryDir dir;
    const QString picked = dir.filePath("my book.xlsx");
    QFile(picked).open(QIODevice::WriteOnly);
    TFilenameEdit edit;
    edit.SetText(QuotedPath(picked));
    QString title, folder;
    AnswerFileDialog(picked, [&](QFileDialog *d) {
        title = d->windowTitle();
        folder = d->directory().absolutePath();
    });
    edit.Browse();
    EXPECT_EQ(title, "Browse");
    EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
    EXPECT_EQ(edit.Text(), "\"" + picked + "\"");

    edit.SetText("/no/such/folder/x.xlsx");
    AnswerFileDialog({}, [&](QFileDialog *d) { folder = d->directory().absolutePath(); });
    edit.Browse();
    EXPECT_EQ(folder, QDir(dir.path()).absolutePath()) << "falls back to the folder of the last pick";
    EXPECT_EQ(edit.Text(), "/no/such/folder/x.xlsx") << "cancel changes nothing";
}

} // namespace

#include "mainFRm_test.moc"
