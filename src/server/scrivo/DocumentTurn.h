#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

// The turn of one change of a document's reservation: the folder ".<file name>.lock" beside
// its record, made with mkdir(2) and removed when the change is done. Making a folder is
// atomic on every server the programs were tried on (local disks, NFS, Samba, SFTP), also
// through FUSE clients on which neither link(2) nor an exclusive create is, so workstations
// with and without hard links take turns with each other. While a change holds the turn, no
// other change of the document acts on its record: what a change looked at in its turn is
// what it changes.
//
// While another change holds the turn, the waiter is asked each time whether to wait on: a
// look at the record usually answers it at once (a reservation that is there, or gone),
// which also keeps a client's stale cache (sshfs keeps a removed folder for 20 s) from
// holding anyone up. A turn older than a minute is left over from a change that never ended
// and is removed. A turn that stays longer than the wait bound fails with ServerError
// (ReservationBusy).
class DocumentTurn
{
public:
    // recordPath: the record's path as bytes; device: its file system; document: its
    // document as shown in messages;
    // waitOn: whether to wait while another has the turn (false: give up, Taken() false).
    DocumentTurn(const QByteArray &recordPath, dev_t device, const QString &document,
                 const std::function<bool()> &waitOn);
    ~DocumentTurn();
    DocumentTurn(const DocumentTurn &) = delete;
    DocumentTurn &operator=(const DocumentTurn &) = delete;

    // True when this change has the turn. False also when the folder would not take the
    // turn's folder (read-only, no permission, a full disk): the change then goes on without
    // it, and its own step meets the same refusal where there is one.
    bool Taken() const { return taken; }
    // The waiter gave up (waitOn said no).
    bool GaveUp() const { return gaveUp; }

    // The turn's name beside recordPath.
    static QByteArray TurnPathOf(const QByteArray &recordPath);

private:
    QByteArray path;
    dev_t device;
    bool taken = false;
    bool gaveUp = false;
};
