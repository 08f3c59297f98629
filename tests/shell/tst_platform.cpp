#include "ShellFixture.h"

#include "platform/QtPrompts.h"
#include "system/KorvexProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Runs action on the modal dialog once it is up (bounded: gives up after five seconds).
template <typename Dialog> void whenDialogOpens(std::function<void(Dialog *)> action)
{
    auto *timer = new QTimer;
    auto *tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog && ++*tries <= 250)
            return;
        timer->stop();
        timer->deleteLater();
        delete tries;
        if (dialog)
            action(dialog);
        else if (QWidget *other = QApplication::activeModalWidget())
            other->close();
    });
    timer->start(20);
}

const QString ReportFilter = u"Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt"_s;

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void korvexProcessIsDetectedByName()
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
        const QString other = dir.filePath(u"korvex-brevant"_s);
        QVERIFY(QFile::copy(u"/bin/sleep"_s, other));
        QProcess process;
        process.start(other, {u"60"_s});
        QVERIFY(process.waitForStarted(5000));
        QVERIFY(!IsKorvexRunning());
        process.kill();
        process.waitForFinished(5000);
    }

    void filterTextsBecomeNameFilters()
    {
        const QStringList filters = NameFiltersOf(ReportFilter);
        // Each pattern shows once, also where the description already names it.
        QCOMPARE(filters,
                 (QStringList{u"Excel 2002 Format (*.xls)"_s, u"Brevant Report (*.txt)"_s}));
        QCOMPARE(NameFiltersOf(u"Korvex Files|*.kpt;*.kam;*.kdw|All|*.*|dangling"_s),
                 (QStringList{u"Korvex Files (*.kpt *.kam *.kdw)"_s, u"All (*.*)"_s}));
        QCOMPARE(ExtensionOfNameFilter(filters.at(1)), u"txt"_s);
        QCOMPARE(ExtensionOfNameFilter(u"All (*.*)"_s), QString());
        QCOMPARE(ExtensionOfNameFilter(u"Korvex Files (*.kpt *.kam)"_s), u"kpt"_s);
        QCOMPARE(MessageTextForDisplay(u"a\rb\nc"_s), u"a\nb\nc"_s);
    }

    void messageBoxShowsLinesIconAndButtons()
    {
        QtPrompts prompts;
        QString shownText;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        qsizetype buttons = 0;
        whenDialogOpens<QMessageBox>([&](QMessageBox *box) {
            shownText = box->text();
            shownIcon = box->icon();
            buttons = box->buttons().size();
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(prompts.MessageBox(u"first\rsecond\nthird"_s, PromptButtons::YesNo,
                                    PromptIcon::Exclamation, BrevantTitle),
                 PromptAnswer::No);
        QCOMPARE(shownText, u"first\nsecond\nthird"_s);
        QCOMPARE(shownIcon, QMessageBox::Warning);
        QCOMPARE(buttons, 2);

        whenDialogOpens<QMessageBox>(
            [](QMessageBox *box) { box->button(QMessageBox::Cancel)->click(); });
        QCOMPARE(
            prompts.MessageBox(u"x"_s, PromptButtons::YesNoCancel, PromptIcon::None, BrevantTitle),
            PromptAnswer::Cancel);

        // Escape and the close box dismiss a Yes/No box without answering No, and a message
        // with a long path wraps within the screen.
        const QString longPath = u"/srv/"_s + QString(60, u'x') + u'/' + QString(300, u'y');
        const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
        int shownWidth = 0;
        for (const bool escape : {true, false}) {
            whenDialogOpens<QMessageBox>([&](QMessageBox *box) {
                shownWidth = box->width();
                if (escape)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->close();
            });
            QCOMPARE(prompts.MessageBox(u"Saved to:\r"_s + longPath, PromptButtons::YesNo,
                                        PromptIcon::None, BrevantTitle),
                     PromptAnswer::Cancel);
            QVERIFY2(shownWidth > 0 && shownWidth <= screenWidth,
                     qPrintable(QString::number(shownWidth)));
        }
    }

    void saveDialogReportsFilterAndAppliesItsExtension()
    {
        QTemporaryDir dir;
        QtPrompts prompts;
        FileDialogRequest request;
        request.title = u"Save As"_s;
        request.initialFolder = dir.path();
        request.fileName = u"Brevant Report"_s;
        request.filter = ReportFilter;
        request.selectedFilter = 1;
        request.defaultExtension = u"xls"_s;
        // An existing file: no question of the dialog's own.
        QFile existing(dir.filePath(u"list.txt"_s));
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
            if (auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s))
                name->setText(u"list"_s);
            static_cast<QDialog *>(dialog)->accept();
        });
        const QString chosen = prompts.SaveFileName(request);
        QCOMPARE(offered.size(), 2);
        QCOMPARE(initiallySelected, offered.value(0));
        QVERIFY(!confirmsOverwrite);
        QCOMPARE(chosen, dir.filePath(u"list.txt"_s));
        QCOMPARE(request.selectedFilter, 2);

        whenDialogOpens<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
        request.selectedFilter = 1;
        QCOMPARE(prompts.SaveFileName(request), QString());
        QCOMPARE(request.selectedFilter, 1);
    }

    void inputBoxReturnsTextOrEmptyOnCancel()
    {
        QtPrompts prompts;
        QPoint shownAt;
        QString offered;
        whenDialogOpens<QInputDialog>([&](QInputDialog *dialog) {
            shownAt = dialog->pos();
            offered = dialog->textValue();
            dialog->setTextValue(u"Mara"_s);
            dialog->accept();
        });
        QCOMPARE(prompts.InputBox(u"User?"_s, BrevantTitle, u"Ole"_s, QPoint(40, 50)), u"Mara"_s);
        QCOMPARE(offered, u"Ole"_s);
        QCOMPARE(shownAt, QPoint(40, 50));

        whenDialogOpens<QInputDialog>([](QInputDialog *dialog) { dialog->reject(); });
        QCOMPARE(prompts.InputBox(u"User?"_s, BrevantTitle, u"Ole"_s, {}), QString());
    }

    void mousePointerIsRestored()
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
};

int runPlatformTests(int argc, char **argv)
{
    TestPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
