#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <sys/stat.h>
#include <sys/types.h>

// The turn of one change of a document's reservation: the folder ".<file name>.lock" beside
// its record. While a change holds the turn, no other change of the document acts on its
// record, so what a change looked at in its turn is what it changes.
//
// A turn is a lease: one left over by a change that stalled or was killed is taken over after
// a minute. A change must therefore never act once its turn was taken over, however long it
// stalled and at whichever step. So each turn holds a token of a name no other turn has
// ("<turn>/<token>"), and the change reaches the record only through it. A change that
// removes the record has a folder for a token and moves the record into it; a change that
// places a new record has the new record itself for a token and moves it into place. A
// change whose token is gone finds nothing to move and is told (TurnLost); it never touches a
// record it did not look at in a turn that is still its own.
//
// Taking the turn: the token is made inside a private folder, which then takes the turn's
// name by rename(2). The rename is refused while another turn is there (it holds its own
// token, so it is not empty), and a token is never made inside another change's turn. Making
// folders and renaming them is atomic on every server the programs were tried on (local
// disks, NFS, Samba, SFTP), also through FUSE clients on which neither link(2) nor an
// exclusive create is.
//
// Taking over: a turn counts as left over when it is more than a minute old on the file
// server's clock (the server set the times of both the turn and this waiter's own private
// folder, so no workstation's clock is asked) and this waiter has itself waited for it for at
// least five seconds (so no clock, however wrong, ends a turn a few seconds old). The taker
// removes what the turn holds, its token first: once the token is gone, every later move of
// the stalled change fails, and what the change had already moved into it (a record it
// removed in its turn, or one it had not yet put in place) goes with it.
//
// While another change holds the turn, the waiter is asked each time whether to wait on: a
// look at the record usually answers it at once (a reservation that is there, or gone),
// which also keeps a client's stale cache (sshfs keeps a removed folder for 20 s) from
// holding anyone up. A turn that stays longer than the wait bound fails with ServerError
// (ReservationBusy).
class DocumentTurn
{
public:
    // Writes a new record, whole, at the path given; throws when it cannot.
    using Stage = std::function<void(const QByteArray &path)>;

    // recordPath: the record's path as bytes; device: its file system; folderMode: the mode
    // of the record's folder; document: its document as shown in messages;
    // waitOn: whether to wait while another has the turn (false: give up, GaveUp() true);
    // stage: for a change that places a new record, writes it (its token) before the turn is
    // taken.
    DocumentTurn(const QByteArray &recordPath, dev_t device, mode_t folderMode,
                 const QString &document, const std::function<bool()> &waitOn,
                 const Stage &stage = {});
    ~DocumentTurn();
    DocumentTurn(const DocumentTurn &) = delete;
    DocumentTurn &operator=(const DocumentTurn &) = delete;

    // True when this change has the turn. False also when the folder would not take the
    // turn's folder (read-only, no permission, a full disk): the change then goes on without
    // it, and its own step meets the same refusal where there is one.
    bool Taken() const { return taken; }
    // The waiter gave up (waitOn said no).
    bool GaveUp() const { return gaveUp; }

    // What a move through the token did.
    enum class Move { Done, TurnLost, Failed /* errno says why */ };
    // Moves the record out of its place into the token, where it goes with the turn.
    Move TakeRecord();
    // Where the record taken is, under a name no program opened it at before.
    QByteArray TakenRecord() const { return token + "/gone"; }
    // Moves the record taken back into its place.
    Move PutBackRecord();
    // The staged record in the turn.
    QByteArray Staged() const { return token; }
    // Puts the staged record in its place: by a hard link where the share makes them (never
    // over another record), else by renaming it there. Failed with EEXIST: a record is there.
    Move PutInPlace(bool byLink);

    // The turn's name beside recordPath.
    static QByteArray TurnPathOf(const QByteArray &recordPath);
    // Tells that another process is changing document's reservation, so this change was not
    // made (ServerError, ReservationBusy).
    [[noreturn]] static void ThrowBusy(const QString &document);

private:
    // This change's private name beside the document: the name its own folder had before it
    // became the turn. Free once the turn is taken, so what leaves the turn goes there.
    QByteArray PrivateName() const;
    // Moves a token that cannot be emptied out of the turn; true when it did.
    bool SetTokenAside();
    // Removes the record this change took into its token.
    void RemoveTakenRecord();

    QByteArray record;
    QByteArray path;
    QByteArray ownFolder; // where the turn is made before it takes its name
    QByteArray tokenName; // a name no other turn's token has
    QByteArray token;     // the token inside the turn once it is taken
    dev_t device;
    bool taken = false;
    bool gaveUp = false;
    bool placing = false; // the token is a new record, not a folder
    bool moved = false;   // the token folder holds the record taken
    bool staged = false;  // the staged record is still at the token's name
    QElapsedTimer waited;
    // The server's time when the waiter's own folder was made, and the waiter's own count
    // since then: together the server's time now, for the age of a turn.
    struct timespec serverStart = {};

    bool MakeOwnFolder(mode_t folderMode, const QString &document, const Stage &stage);
    // Waits for the turn, taking over one left over, until it is taken, waitOn says no, or
    // no turn can be at its name.
    void WaitForTurn(const QString &document, const std::function<bool()> &waitOn);
    // One try to rename the own folder to the turn's name.
    bool TryToTake();
    // What is at the turn's name after a refused try (refusal: why it was refused).
    enum class TurnLook { There, Gone, NoTurnCanBeThere };
    TurnLook LookAtTurn(struct stat &turn, int refusal, const QString &document);
    int RemoveToken(const QByteArray &at);
    void RemoveOwnFolder();
    bool IsLeftOver(const struct stat &turn);
    void TakeOver();
};
