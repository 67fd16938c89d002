#pragma once
// Loading a shared library at run time and looking up its exported names.

#include <QString>

namespace rowpour::platform
{

class DynamicLibrary
{
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { close(); }
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;
    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;

    // Loads the file (a path, or a bare name searched the loader's way).
    // Returns false and keeps the loader's message on failure.
    bool open(const QString &file);
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // Address of an exported name, or null.
    void *symbol(const char *name) const;
    // The loader's message of the last failed open.
    QString errorText() const { return error_; }
    // The file the loader actually mapped (resolved from an exported address).
    QString loadedPath(const char *anyExportedName) const;

private:
    void *handle_ = nullptr;
    QString error_;
};

} // namespace rowpour::platform
