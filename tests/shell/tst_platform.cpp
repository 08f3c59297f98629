#include "ShellFixture.h"

#include "platform/KorvexProcess.h"
#include "platform/QtPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Runs action on the modal dialog once it is up (bounded: gives up after five seconds).
template <typename Dialog> void whenDialogOpens(std::function<void(Dialog *)> action)
{
    auto *timer = new QTimer;
    auto *tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            delete tries;
            action(dialog);
        } else if (++*tries > 250) {
            timer->stop();
            timer->deleteLater();
            delete tries;
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
        }
    });
    timer->start(20);
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void korvexProcessIsDetectedByName();
    void filterTextsBecomeNameFilters();
    void messageBoxShowsLinesIconAndButtons();
    void saveDialogReportsFilterAndAppliesItsExtension();
    void inputBoxReturnsTextOrEmptyOnCancel();
    void mousePointerIsRestored();
};

void TestPlatform::korvexProcessIsDetectedByName()
{
    QVERIFY(!IsKorvexRunning());
    {
        KorvexProcess korvex;
        QVERIFY(korvex.started());
        QVERIFY(IsKorvexRunning());
    }
    QVERIFY(!IsKorvexRunning());

    // A process whose name only starts with korvex is something else.
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("korvex-brevant"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), other));
    QProcess process;
    process.start(other, {QStringLiteral("60")});
    QVERIFY(process.waitForStarted(5000));
    QVERIFY(!IsKorvexRunning());
    process.kill();
    process.waitForFinished(5000);
}

void TestPlatform::filterTextsBecomeNameFilters()
{
    const QStringList filters = NameFiltersOf(
        QStringLiteral("Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt"));
    QCOMPARE(filters, (QStringList{QStringLiteral("Excel 2002 Format (*.xls) (*.xls)"),
                                   QStringLiteral("Brevant Report (*.txt) (*.txt)")}));
    QCOMPARE(NameFiltersOf(QStringLiteral("Korvex Files|*.kpt;*.kam;*.kdw|All|*.*|dangling")),
             (QStringList{QStringLiteral("Korvex Files (*.kpt *.kam *.kdw)"),
                          QStringLiteral("All (*.*)")}));
    QCOMPARE(ExtensionOfNameFilter(filters.at(1)), QStringLiteral("txt"));
    QCOMPARE(ExtensionOfNameFilter(QStringLiteral("All (*.*)")), QString());
    QCOMPARE(ExtensionOfNameFilter(QStringLiteral("Korvex Files (*.kpt *.kam)")),
             QStringLiteral("kpt"));
    QCOMPARE(MessageTextForDisplay(QStringLiteral("a\rb\nc")), QStringLiteral("a\nb\nc"));
}

void TestPlatform::messageBoxShowsLinesIconAndButtons()
{
    QtPrompts prompts;
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QStringList buttons;
    whenDialogOpens<QMessageBox>([&](QMessageBox *box) {
        shownText = box->text();
        shownIcon = box->icon();
        for (QAbstractButton *button : box->buttons())
            buttons.append(QString::number(box->standardButton(button)));
        box->button(QMessageBox::No)->click();
    });
    const PromptAnswer answer =
        prompts.MessageBox(QStringLiteral("first\rsecond\nthird"), PromptButtons::YesNo,
                           PromptIcon::Exclamation, BrevantTitle);
    QCOMPARE(answer, PromptAnswer::No);
    QCOMPARE(shownText, QStringLiteral("first\nsecond\nthird"));
    QCOMPARE(shownIcon, QMessageBox::Warning);
    QCOMPARE(buttons.size(), 2);

    whenDialogOpens<QMessageBox>(
        [](QMessageBox *box) { box->button(QMessageBox::Cancel)->click(); });
    QCOMPARE(prompts.MessageBox(QStringLiteral("x"), PromptButtons::YesNoCancel, PromptIcon::None,
                                BrevantTitle),
             PromptAnswer::Cancel);
}

void TestPlatform::saveDialogReportsFilterAndAppliesItsExtension()
{
    QTemporaryDir dir;
    QtPrompts prompts;
    FileDialogRequest request;
    request.title = QStringLiteral("Save As");
    request.initialFolder = dir.path();
    request.fileName = QStringLiteral("Brevant Report");
    request.filter = QStringLiteral("Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt");
    request.selectedFilter = 1;
    request.defaultExtension = QStringLiteral("xls");
    // An existing file: no question of the dialog's own.
    QFile existing(dir.filePath(QStringLiteral("list.txt")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();

    QStringList offered;
    QString initiallySelected;
    bool confirmsOverwrite = true;
    whenDialogOpens<QFileDialog>([&](QFileDialog *dialog) {
        offered = dialog->nameFilters();
        initiallySelected = dialog->selectedNameFilter();
        confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectNameFilter(offered.value(1));
        emit dialog->filterSelected(offered.value(1));
        // What the user types into the name field.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(QStringLiteral("list"));
        static_cast<QDialog *>(dialog)->accept();
    });
    const QString chosen = prompts.SaveFileName(request);
    QCOMPARE(offered.size(), 2);
    QCOMPARE(initiallySelected, offered.value(0));
    QVERIFY(!confirmsOverwrite);
    QCOMPARE(chosen, dir.filePath(QStringLiteral("list.txt")));
    QCOMPARE(request.selectedFilter, 2);

    whenDialogOpens<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    request.selectedFilter = 1;
    QCOMPARE(prompts.SaveFileName(request), QString());
    QCOMPARE(request.selectedFilter, 1);
}

void TestPlatform::inputBoxReturnsTextOrEmptyOnCancel()
{
    QtPrompts prompts;
    QPoint shownAt;
    QString offered;
    whenDialogOpens<QInputDialog>([&](QInputDialog *dialog) {
        shownAt = dialog->pos();
        offered = dialog->textValue();
        dialog->setTextValue(QStringLiteral("Mara"));
        dialog->accept();
    });
    QCOMPARE(prompts.InputBox(QStringLiteral("User?"), BrevantTitle, QStringLiteral("Ole"),
                              QPoint(40, 50)),
             QStringLiteral("Mara"));
    QCOMPARE(offered, QStringLiteral("Ole"));
    QCOMPARE(shownAt, QPoint(40, 50));

    whenDialogOpens<QInputDialog>([](QInputDialog *dialog) { dialog->reject(); });
    QCOMPARE(prompts.InputBox(QStringLiteral("User?"), BrevantTitle, QStringLiteral("Ole"), {}),
             QString());
}

void TestPlatform::mousePointerIsRestored()
{
    QtPrompts prompts;
    QVERIFY(!QGuiApplication::overrideCursor());
    prompts.SetMousePointer(MousePointer::Hourglass);
    prompts.SetMousePointer(MousePointer::Hourglass);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    prompts.SetMousePointer(MousePointer::Default);
    QVERIFY(!QGuiApplication::overrideCursor());
    prompts.SetMousePointer(MousePointer::Default);
    QVERIFY(!QGuiApplication::overrideCursor());
}

int runPlatformTests(int argc, char **argv)
{
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
