#include "server/RequestWidth.h"

#include "system/FileNames.h"
#include "system/FileSystems.h"

#include <sys/stat.h>

namespace {

constexpr int WidthOnNetwork = 16;

} // namespace

int RequestWidthFor(DocumentServer &server, const QString &folder)
{
    struct stat st;
    if (!server.ConcurrentDocuments() || ::stat(EncodeFileName(folder).constData(), &st) != 0)
        return 1;
    return IsNetworkFileSystem(st.st_dev) ? WidthOnNetwork : 1;
}
