#include "transfer/DownloadName.h"

namespace DownloadName {

bool CanLookUp(const QByteArray& name)
{
    return !name.isEmpty() && !name.contains('/') && !name.contains('\\') && !name.contains('\0');
}

bool IsSafe(const QByteArray& name)
{
    return CanLookUp(name) && name != "." && name != "..";
}

} // namespace DownloadName
