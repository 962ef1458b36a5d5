#include "platform/handle.h"

namespace platform {

bool closeHandle(Handle h)
{
    if (!isUsableHandle(h))
        return false;
    delete static_cast<HandleObject*>(h);
    return true;
}

}  // namespace platform
