// The Qt dialogs behind Prompts.

#include "model/Prompts.h"
#include "platform/QtPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Runs action on the modal dialog once it is up (bounded: gives up after five seconds).
template <typename Dialog> void WhenDialogOpens(std::function<void(Dialog *)> action)
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

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void messageBoxesShowLinesAndAnswerCancelWhenDismissed()
    {
        QtPrompts prompts;
        QString shownText;
        WhenDialogOpens<QMessageBox>([&](QMessageBox *box) {
            shownText = box->text();
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->buttons().size(), 2);
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(prompts.MessageBox(u"first\rsecond\nthird"_s, PromptButtons::YesNo,
                                    PromptIcon::Exclamation, BrevantTitle),
                 PromptAnswer::No);
        QCOMPARE(shownText, u"first\nsecond\nthird"_s);
        // Escape and the close box dismiss a Yes/No box without answering No; a message with
        // a long path wraps within the screen.
        const QString longPath = u"/srv/"_s + QString(60, u'x') + u'/' + QString(300, u'y');
        const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
        for (const bool escape : {true, false}) {
            int shownWidth = 0;
            WhenDialogOpens<QMessageBox>([&](QMessageBox *box) {
                shownWidth = box->width();
                escape ? QTest::keyClick(box, Qt::Key_Escape) : void(box->close());
            });
            QCOMPARE(prompts.MessageBox(u"Saved to:\r"_s + longPath, PromptButtons::YesNo,
                                        PromptIcon::None, BrevantTitle),
                     PromptAnswer::Cancel);
            QVERIFY2(shownWidth > 0 && shownWidth <= screenWidth,
                     qPrintable(QString::number(shownWidth)));
        }
    }

    void fileDialogsShowEachPatternOnceAndReportTheFilter()
    {
        // Each pattern shows once, also where the description already names it.
        QCOMPARE(NameFiltersOf(u"Excel 2002 Format (*.xls)|*.xls|Korvex|*.kpt;*.kam|dangling"_s),
                 (QStringList{u"Excel 2002 Format (*.xls)"_s, u"Korvex (*.kpt *.kam)"_s}));
        QTemporaryDir dir;
        QtPrompts prompts;
        FileDialogRequest request{u"Save As"_s,
                                  dir.path(),
                                  u"Brevant Report"_s,
                                  u"Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt"_s,
                                  1,
                                  u"xls"_s};
        QFile(dir.filePath(u"list.txt"_s)).open(QIODevice::WriteOnly);
        bool confirmsOverwrite = true;
        WhenDialogOpens<QFileDialog>([&](QFileDialog *dialog) {
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->selectNameFilter(dialog->nameFilters().value(1));
            emit dialog->filterSelected(dialog->nameFilters().value(1));
            dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(u"list"_s);
            static_cast<QDialog *>(dialog)->accept();
        });
        // The program asks before replacing; the typed name gets the filter's extension.
        QCOMPARE(prompts.SaveFileName(request), dir.filePath(u"list.txt"_s));
        QVERIFY(!confirmsOverwrite);
        QCOMPARE(request.selectedFilter, 2);
    }
};

int RunPlatformTests(int argc, char **argv)
{
    TestPlatform tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_platform.moc"
