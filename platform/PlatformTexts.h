#pragma once
// Texts of the platform layer that reach the user inside error messages, in
// one place.

namespace rowpour::platform::texts
{

// The settings store (%1: the value name, a directory or a file; %2: the reason).
inline constexpr char InvalidValueName[] = "Invalid registry value name \"%1\"";
inline constexpr char CannotCreateDirectory[] = "Cannot create the directory %1";
inline constexpr char CannotWrite[] = "Cannot write %1: %2";

// The standard streams as named in write failures.
inline constexpr char StandardOutput[] = "standard output";
inline constexpr char StandardError[] = "standard error";

// A library that failed to load without the loader saying why.
inline constexpr char UnknownLoaderError[] = "unknown loader error";

} // namespace rowpour::platform::texts
