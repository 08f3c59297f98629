// The Qt message boxes behind Prompts.

#include "model/Prompts.h"
#include "platform/QtPrompts.h"

#include <QAbstractButton>
#include <QApplication>
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
        // A file dialog's filter shows each pattern once, also where the description already
        // names it (the real dialogs are the smoke test's).
        QCOMPARE(NameFiltersOf(u"Excel 2002 Format (*.xls)|*.xls|Korvex|*.kpt;*.kam|dangling"_s),
                 (QStringList{u"Excel 2002 Format (*.xls)"_s, u"Korvex (*.kpt *.kam)"_s}));
        QtPrompts prompts;
        // The hourglass goes again with the default pointer, and comes back when asked again.
        for (int round = 0; round < 2; ++round) {
            prompts.SetMousePointer(MousePointer::Hourglass);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
            prompts.SetMousePointer(MousePointer::Default);
            QVERIFY(!QGuiApplication::overrideCursor());
        }
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
        // It shows no character the message does not hold, only line breaks, the first after
        // the path's separator.
        const QString longPath = u"/srv/"_s + QString(50, u'x') + u'/' + QString(300, u'y');
        const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
        for (const bool escape : {true, false}) {
            int shownWidth = 0;
            WhenDialogOpens<QMessageBox>([&](QMessageBox *box) {
                shownWidth = box->width();
                shownText = box->text();
                escape ? QTest::keyClick(box, Qt::Key_Escape) : void(box->close());
            });
            QCOMPARE(prompts.MessageBox(u"Saved to:\r"_s + longPath, PromptButtons::YesNo,
                                        PromptIcon::None, BrevantTitle),
                     PromptAnswer::Cancel);
            QVERIFY2(shownWidth > 0 && shownWidth <= screenWidth,
                     qPrintable(QString::number(shownWidth)));
            QCOMPARE(shownText.section(u'\n', 1, 1), u"/srv/"_s + QString(50, u'x') + u'/');
            QCOMPARE(QString(shownText).remove(u'\n'), u"Saved to:"_s + longPath);
        }
    }
};

int RunPlatformTests(int argc, char **argv)
{
    TestPlatform tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_platform.moc"
