#include "platform/DynamicLibrary.h"

#include "platform/PlatformTexts.h"

#include <dlfcn.h>

#include <utility>

namespace rowpour::platform
{

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_))
{
}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool DynamicLibrary::open(const QString &file)
{
    close();
    error_.clear();
    dlerror();
    const QByteArray name = file.toLocal8Bit();
    handle_ = dlopen(name.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *message = dlerror();
        error_ = message ? QString::fromLocal8Bit(message) : QString::fromUtf8(texts::UnknownLoaderError);
    }
    return handle_ != nullptr;
}

void DynamicLibrary::close()
{
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

void *DynamicLibrary::symbol(const char *name) const
{
    if (!handle_)
        return nullptr;
    return dlsym(handle_, name);
}

QString DynamicLibrary::loadedPath(const char *anyExportedName) const
{
    void *address = symbol(anyExportedName);
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    return QString::fromLocal8Bit(info.dli_fname);
}

} // namespace rowpour::platform
