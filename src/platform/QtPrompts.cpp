#include "platform/QtPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>

QtPrompts::~QtPrompts()
{
    SetMousePointer(MousePointer::Default);
}

QStringList NameFiltersOf(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString inParentheses = QStringLiteral(" (") + patterns.simplified() + u')';
        // Qt takes the patterns from the last parentheses of a filter: a description that
        // already ends in them is used as it is, any other gets them added.
        const QString description = parts.at(i).trimmed();
        filters.append(description.endsWith(inParentheses) ? description
                                                           : description + inParentheses);
    }
    return filters;
}

namespace {

// Message text with CR and LF shown as line breaks, and runs longer than a line (deep paths)
// broken by line breaks, preferably after a separator; nothing else is added.
QString MessageTextForDisplay(const QString &text)
{
    // Every CR and every LF is a line break of its own, so "\r" and "\n" messages look alike.
    // A run of text too long for one line of the box (a deep path) is broken by real line
    // breaks, after a separator where one lies within reach, so the box stays within the
    // screen and shows, and tells assistive tools, no character the message does not hold.
    constexpr qsizetype LongestUnbroken = 60;
    QString shown;
    shown.reserve(text.size() + text.size() / LongestUnbroken);
    qsizetype runStart = 0; // where the current unbroken run begins in shown
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c.isSpace()) {
            shown += c == u'\r' ? u'\n' : c;
            runStart = shown.size();
            continue;
        }
        shown += c;
        if (shown.size() - runStart <= LongestUnbroken)
            continue;
        // Break after the run's last separator, or just before this character.
        qsizetype breakAt = shown.size() - 1;
        for (qsizetype i = shown.size() - 2; i > runStart; --i)
            if (shown.at(i) == u'/' || shown.at(i) == u'\\') {
                breakAt = i + 1;
                break;
            }
        shown.insert(breakAt, u'\n');
        runStart = breakAt + 1;
    }
    return shown;
}

// The extension a "*.ext" pattern list starts with ("*.xls" -> "xls"), "" for wildcards.
QString ExtensionOfNameFilter(const QString &nameFilter)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ *?;()]+)[^()]*\\)$"));
    const QRegularExpressionMatch match = pattern.match(nameFilter);
    return match.hasMatch() ? match.captured(1) : QString();
}

// Dismisses a dialog on Escape or its close box without any of its buttons.
class Dismissal : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool escape = event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
        if (!escape && event->type() != QEvent::Close)
            return false;
        if (auto *dialog = qobject_cast<QDialog *>(watched); dialog && dialog->isVisible()) {
            dialog->done(QDialog::Rejected);
            event->accept();
            return true;
        }
        return false;
    }
};

QMessageBox::Icon BoxIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::None:
        break;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

PromptAnswer AnswerOf(QMessageBox::StandardButton clicked, PromptButtons buttons)
{
    switch (clicked) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    default:
        break;
    }
    // A box closed without a button: the answer that changes least.
    return buttons == PromptButtons::OK ? PromptAnswer::OK : PromptAnswer::Cancel;
}

} // namespace

PromptAnswer QtPrompts::MessageBox(const QString &text, PromptButtons buttons, PromptIcon icon,
                                   const QString &title)
{
    Dismissal dismissal;
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(MessageTextForDisplay(text));
    box.setIcon(BoxIcon(icon));
    switch (buttons) {
    case PromptButtons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case PromptButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        // Escape or closing the box answers Cancel, never No: No may throw work away. A
        // message box would take No as its escape button, so the box is dismissed here.
        box.installEventFilter(&dismissal);
        break;
    case PromptButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    box.exec();
    return AnswerOf(box.standardButton(box.clickedButton()), buttons);
}

QString QtPrompts::InputBox(const QString &prompt, const QString &title, const QString &defaultText,
                            QPoint position)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(MessageTextForDisplay(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(defaultText);
    dialog.move(position);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

QString QtPrompts::runFileDialog(FileDialogRequest &request, bool save)
{
    QFileDialog dialog(parent, request.title, request.initialFolder);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);

    const QStringList filters = NameFiltersOf(request.filter);
    // A name typed without extension gets the extension of the filter in use, as the
    // platform dialogs do; the request's own default stands for wildcard filters.
    auto applySuffix = [&dialog, &request](const QString &nameFilter) {
        const QString fromFilter = ExtensionOfNameFilter(nameFilter);
        dialog.setDefaultSuffix(fromFilter.isEmpty() ? request.defaultExtension : fromFilter);
    };
    if (filters.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultExtension);
    } else {
        dialog.setNameFilters(filters);
        const int index = qBound(1, request.selectedFilter, static_cast<int>(filters.size()));
        dialog.selectNameFilter(filters.at(index - 1));
        applySuffix(dialog.selectedNameFilter());
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applySuffix);
    }

    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    if (chosen >= 0)
        request.selectedFilter = chosen + 1;
    return dialog.selectedFiles().constFirst();
}

QString QtPrompts::OpenFileName(FileDialogRequest &request)
{
    return runFileDialog(request, false);
}

QString QtPrompts::SaveFileName(FileDialogRequest &request)
{
    return runFileDialog(request, true);
}

QString QtPrompts::BrowseForFolder(const QString &title)
{
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

void QtPrompts::SetMousePointer(MousePointer pointer)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    if (pointer == MousePointer::Hourglass && !hourglass) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        hourglass = true;
    } else if (pointer == MousePointer::Default && hourglass) {
        QGuiApplication::restoreOverrideCursor();
        hourglass = false;
    }
}
