#include "system/FileError.h"

QString SystemReason(int error)
{
    return qt_error_string(error);
}
