#pragma once

#include "system/Failure.h"

#include <QString>
#include <stdexcept>

// The one failure signal of the document server: every failing member throws this. Its
// what() is the description in UTF-8.
class ServerError : public std::runtime_error
{
public:
    ServerError(int errorNumber, QString text)
        : std::runtime_error(text.toStdString()), number(errorNumber), description(std::move(text))
    {
    }

    int number;
    QString description;
};

// Error numbers the server and the program raise.
namespace ServerErrors {
constexpr int FileNotFound = 53;
constexpr int PathNotFound = 76;
constexpr int InvalidArgument = 5;
constexpr int NotADocument = 1001;
constexpr int ReservationRecordDamaged = 1002;
constexpr int AlreadyReserved = 1003;
constexpr int NotTheHolder = 1004;
constexpr int NotSharedProject = 1005;
constexpr int InvalidUserName = 1006;
constexpr int WriteFailed = 1007;
constexpr int ProjectNotFound = 1008;
constexpr int ServerHomeUnusable = 1009;
constexpr int ProjectUnreadable = 1010;
constexpr int SeveralHardLinks = 1011;
constexpr int ReservationBusy = 1012;
constexpr int BeingReserved = 1013;
constexpr int RunInProgress = 1014;
} // namespace ServerErrors
