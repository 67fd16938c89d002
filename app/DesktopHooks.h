#pragma once
// The Oracle access layer links no widgets: the desktop program gives it its
// busy cursor and its message boxes at start-up.

namespace rowpour::app
{

void InstallDesktopHooks();

} // namespace rowpour::app
