#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>

// INI files as the project files and other tools keep them. Section and key names match
// without regard to case; blanks around names and values are dropped; a value in matching
// double or single quotes loses them; a line starting with ";" is a comment; the first
// section or key of a name wins; values are read whole. Text is UTF-8; a UTF-8 byte-order
// mark is not part of the first line.

// One section header or key line of an INI text, as views into the text: blanks around
// names and values dropped, and a value's matching quotes.
struct IniLine
{
    bool IsSection = false;
    QByteArrayView Name;
    QByteArrayView Value; // key lines only
};

// Calls visit for every section header and key line, in file order (a key line before any
// section too); blank lines, comments and other lines are left out. visit returns false to
// stop. Nothing is copied or decoded: for reading a few values of many small texts.
void ScanIni(const QByteArray &bytes, const std::function<bool(const IniLine &)> &visit);
// A name or value of a line as text.
QString IniText(QByteArrayView bytes);
// Whether a name of a line is `wanted`, without regard to case.
bool IniNameIs(QByteArrayView name, const QString &wanted);

// A parsed INI text, for reading many values from one file or buffer.
class IniDocument
{
public:
    static IniDocument FromBytes(const QByteArray &bytes);
    // Reads the file; a missing file gives an empty document. A file that is there but
    // cannot be read (a folder, a FIFO, above 16 MiB) throws FileError.
    static IniDocument FromFile(const QString &file);

    // "" when the section or key is missing.
    QString ValueOf(const QString &section, const QString &key) const;
    // Every key of the section with its value, in file order (first section of the name).
    QList<QPair<QString, QString>> EntriesOf(const QString &section) const;

private:
    struct Section
    {
        QString name;
        QList<QPair<QString, QString>> entries;
    };
    QList<Section> sections;
    const Section *SectionNamed(const QString &section) const;
};

// The stored value, "" when the file, section or key is missing. A file that cannot be read
// throws FileError.
QString ReadINI(const QString &section, const QString &key, const QString &file);

// Writes key = value into the section, creating file, section or key as needed; a null key
// (QString()) removes the whole section. Every other line survives byte for byte, and the
// file is replaced in one step. A failure throws FileError naming the file and the reason;
// the file is then unchanged. A name or value that the file could not hold (a line break,
// "]" in a section name, "=" in a key) is refused the same way.
void WriteINI(const QString &section, const QString &key, const QString &value,
              const QString &file);

// One change of an INI file: key = value in the section; with a null key the removal of the
// whole section; with removeKey the removal of every line of the key.
struct IniChange
{
    QString section;
    QString key;
    QString value;
    bool removeKey = false;

    static IniChange KeyRemoval(const QString &section, const QString &key)
    {
        return {section, key, QString(), true};
    }
};

// The INI text with the changes applied in order; the same rules as WriteINI. An invalid
// change throws FileError naming file.
QByteArray IniWithChanges(const QByteArray &text, const QList<IniChange> &changes,
                          const QString &file);

// Applies the changes in order and replaces the file in one step, so a reader sees all of
// them or none. Same rules and failures as WriteINI.
void WriteINIChanges(const QList<IniChange> &changes, const QString &file);
