#pragma once
// Whether the program's standard streams are terminals (progress is shown
// only to a person watching).

namespace rowpour::platform {

bool standardErrorIsTerminal();

}  // namespace rowpour::platform
