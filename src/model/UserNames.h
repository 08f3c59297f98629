#pragma once

#include <QString>

// The longest user name, in characters.
inline constexpr int UserNameLimit = 256;

// Why name cannot be a user name, "" when it can. A user name is valid text (no byte that is
// not UTF-8), at most 256 characters, and holds no control or format character (line
// breaks, bidirectional marks, zero-width characters), so it shows as what it is.
QString UserNameProblem(const QString &name);

inline bool IsValidUserName(const QString &name)
{
    return UserNameProblem(name).isEmpty();
}

// Why text cannot be a reservation's comment, "" when it can: "" (none) or valid as a user
// name is.
QString CommentProblem(const QString &text);

// The marker of a free document in any letter case, which no user may be called.
bool IsAvailableMarker(const QString &name);

// The name as it can be shown safely in a message: control and format characters and bytes
// that are not UTF-8 as "<U+202E>", and at most 80 characters of it.
QString ShownUserName(const QString &name);
