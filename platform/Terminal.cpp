#include "platform/Terminal.h"

#include <unistd.h>

namespace rowpour::platform {

bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace rowpour::platform
