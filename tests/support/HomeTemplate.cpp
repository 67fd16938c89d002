#include "HomeTemplate.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace rowpour::testing
{

namespace fs = std::filesystem;

namespace
{

[[noreturn]] void fail(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

fs::path toPath(const QString &path)
{
    return fs::path(path.toStdString());
}

// The alias file names each database by its absolute file path; the copy
// must name its own files, or every copy would share the template's data.
void pointAliasesAt(const QString &source, const QString &target)
{
    const QString aliases = target + QStringLiteral("/network/admin/tnsnames.ora");
    QFile file(aliases);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1: %2").arg(aliases, file.errorString()));
    QByteArray text = file.readAll();
    file.close();
    const QByteArray from = toPath(source).lexically_normal().string().c_str() + QByteArray("/oradata/");
    const QByteArray to = toPath(target).lexically_normal().string().c_str() + QByteArray("/oradata/");
    text.replace(from, to);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        fail(QStringLiteral("cannot write %1: %2").arg(aliases, file.errorString()));
}

bool isLibrary(const fs::path &file)
{
    return file.extension() == ".so";
}

// Whether a file is mapped into this process, as a loaded library is.
bool mappedHere(const struct stat &file)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        // address perms offset major:minor inode path
        std::istringstream fields(line);
        std::string address, permissions, offset, device;
        unsigned long long inode = 0;
        fields >> address >> permissions >> offset >> device >> inode;
        unsigned deviceMajor = 0, deviceMinor = 0;
        if (inode == file.st_ino && std::sscanf(device.c_str(), "%x:%x", &deviceMajor, &deviceMinor) == 2 &&
            deviceMajor == major(file.st_dev) && deviceMinor == minor(file.st_dev))
            return true;
    }
    return false;
}

// The client libraries are large and only read, so a copy links them when
// it safely can. The dynamic loader knows a library by its file, not its
// name: opening a second name of a file already loaded hands back the first
// load, which still believes it lives in the first home. So a template's
// library is linked into one live copy at a time (its link count says
// whether another copy holds it) and never while this process has it
// loaded; otherwise it is copied.
bool linkIfUnshared(const fs::path &source, const fs::path &copy)
{
    struct stat info = {};
    if (::stat(source.c_str(), &info) != 0 || info.st_nlink != 1 || mappedHere(info))
        return false;
    std::error_code error;
    fs::create_hard_link(source, copy, error);
    return !error;
}

struct Templates {
    std::mutex mutex;
    std::unique_ptr<QTemporaryDir> root;
    QHash<QString, QString> homes; // key -> laid-out template home
};

Templates &templates()
{
    static Templates instance;
    return instance;
}

QString templateHome(Templates &all, const QString &key, const HomeLayout &layout)
{
    const auto found = all.homes.constFind(key);
    if (found != all.homes.constEnd())
        return *found;
    if (!all.root) {
        all.root = std::make_unique<QTemporaryDir>();
        if (!all.root->isValid())
            fail(QStringLiteral("cannot make a folder for the template homes: ") + all.root->errorString());
    }
    const QString home = all.root->filePath(QStringLiteral("home%1").arg(all.homes.size() + 1));
    try {
        layout(home);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(toPath(home), ignored);
        throw;
    }
    all.homes.insert(key, home);
    return home;
}

} // namespace

QString devdbTool()
{
    return qEnvironmentVariable("ROWPOUR_BUILD_DIR") + QStringLiteral("/devdb/home/bin/rowpour-devdb");
}

void copyDevDbHome(const QString &source, const QString &target)
{
    std::error_code error;
    const fs::path from = toPath(source);
    const fs::path to = toPath(target);
    fs::create_directories(to, error);
    for (fs::recursive_directory_iterator entry(from, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path copy = to / fs::relative(entry->path(), from, error);
        if (error)
            break;
        if (entry->is_directory())
            fs::create_directory(copy, error);
        else if (!(isLibrary(entry->path()) && linkIfUnshared(entry->path(), copy)))
            fs::copy_file(entry->path(), copy, error);
    }
    if (error)
        fail(QStringLiteral("cannot copy the home %1 to %2: %3")
                 .arg(source, target, QString::fromStdString(error.message())));
    pointAliasesAt(source, target);
}

void copyHomeTemplate(const QString &key, const QString &target, const HomeLayout &layout)
{
    Templates &all = templates();
    const std::lock_guard<std::mutex> lock(all.mutex);
    copyDevDbHome(templateHome(all, key, layout), target);
}

} // namespace rowpour::testing
