#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

// One listed document: who holds it, since when, at which version, and which file it is.
// Held by reference (clsFilePtr): whoever holds a reference sees later changes.
// Stores exactly what it is given.
class clsFile
{
public:
    void SetCheckedOutBy(const QString &ItemName) { checkedOutBy = ItemName; }
    QString CheckedOutBy() const { return checkedOutBy; }
    void SetCheckedOutTime(const QString &ItemName) { checkedOutTime = ItemName; }
    QString CheckedOutTime() const { return checkedOutTime; }
    void SetCheckedOutVersion(const QString &ItemName) { checkedOutVersion = ItemName; }
    QString CheckedOutVersion() const { return checkedOutVersion; }
    void SetBrowserName(const QString &ItemName) { browserName = ItemName; }
    QString BrowserName() const { return browserName; }
    void SetFileName(const QString &ItemName) { fileName = ItemName; }
    QString FileName() const { return fileName; }
    void SetFilePath(const QString &ItemName) { filePath = ItemName; }
    QString FilePath() const { return filePath; }
    // The instant the reservation was made, for sorting by time; invalid when none is known.
    void SetCheckedOutSince(const QDateTime &since) { checkedOutSince = since; }
    QDateTime CheckedOutSince() const { return checkedOutSince; }
    // What the holder said of the reservation, "" for none.
    void SetCheckedOutComment(const QString &comment) { checkedOutComment = comment; }
    QString CheckedOutComment() const { return checkedOutComment; }
    // In a where-used list, the documents asked about that this one uses; "" elsewhere.
    void SetUses(const QString &names) { uses = names; }
    QString Uses() const { return uses; }

private:
    QString checkedOutBy;
    QString checkedOutTime;
    QString checkedOutVersion;
    QString browserName;
    QString fileName;
    QString filePath;
    QDateTime checkedOutSince;
    QString checkedOutComment;
    QString uses;
};

using clsFilePtr = std::shared_ptr<clsFile>;

// The marker text of a document that nobody holds.
inline const QString Available = QStringLiteral("available");

// The holder text of a document whose reservation is being written: it is reserved, by a
// holder not known yet.
inline const QString BeingReserved = QStringLiteral("(being reserved)");

// The holder text of a document whose reservation record is damaged: nobody holds it in a
// way that can be read, and any user may release it.
inline const QString DamagedRecord = QStringLiteral("damaged record");

// Whether the holder text says the document is checked out: neither free nor a damaged
// record (a reservation being written counts, its holder is only not known yet).
inline bool IsCheckedOutText(const QString &holder)
{
    return holder != Available && holder != DamagedRecord;
}
