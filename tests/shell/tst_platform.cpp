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

// Runs action on the modal dialog once it is up: looks every 20 ms, and after `tries` looks
// closes whatever modal window is up instead, so a test never hangs on a dialog.
template <typename Dialog>
static void WhenDialogOpens(std::function<void(Dialog *)> action, int tries = 250)
{
    QTimer::singleShot(20, [action, tries] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget()))
            action(dialog);
        else if (tries > 0)
            WhenDialogOpens<Dialog>(action, tries - 1);
        else if (QWidget *other = QApplication::activeModalWidget())
            other->close();
    });
}

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
        // A Yes/No box answers No with its No button; Escape and the close box dismiss it
        // without answering No. A message with a long path wraps within the screen; it shows
        // every CR and LF as a line break, no character the message does not hold, and the
        // path's first break after its separator.
        const QString longPath = u"/srv/"_s + QString(50, u'x') + u'/' + QString(300, u'y');
        const QString message = u"first\rsecond\nSaved to:\r"_s + longPath;
        const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
        for (const int way : {0, 1, 2}) { // No, Escape, the close box
            QString shownText;
            bool fits = false; // a warning with two buttons, within the screen
            WhenDialogOpens<QMessageBox>([&](QMessageBox *box) {
                shownText = box->text();
                fits = box->icon() == QMessageBox::Warning && box->buttons().size() == 2 &&
                       box->width() > 0 && box->width() <= screenWidth;
                if (way == 0)
                    box->button(QMessageBox::No)->click();
                else if (way == 1)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->close();
            });
            QCOMPARE(prompts.MessageBox(message, PromptButtons::YesNo, PromptIcon::Exclamation,
                                        BrevantTitle),
                     way == 0 ? PromptAnswer::No : PromptAnswer::Cancel);
            QVERIFY(fits);
            // Then lines of 60 characters.
            QCOMPARE(shownText.section(u'\n', 0, 4), u"first\nsecond\nSaved to:\n/srv/"_s +
                                                         QString(50, u'x') + u"/\n"_s +
                                                         QString(60, u'y'));
            QCOMPARE(QString(shownText).remove(u'\n'), u"firstsecondSaved to:"_s + longPath);
        }
    }
};

int RunPlatformTests(int argc, char **argv)
{
    TestPlatform tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_platform.moc"
