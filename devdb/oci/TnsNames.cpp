#include "devdb/oci/TnsNames.h"

#include "devdb/oci/Errors.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace devdb::oci
{
namespace
{

constexpr int kProtocolAdapterError = 12560;

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

std::string trim(const std::string &s)
{
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string environment(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

// The directory this library file lives in (so that OCIDLL= alone finds its home).
std::string libraryDirectory()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&libraryDirectory), &info) == 0 || !info.dli_fname)
        return {};
    return fs::absolute(info.dli_fname).parent_path().string();
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Entry {
    std::string name;
    std::string descriptor;
};

// Parses tnsnames.ora text: NAME[, NAME...] = (descriptor), "#" comments, IFILE=.
void parseTnsNames(const fs::path &file, std::vector<Entry> &entries, int depthLimit)
{
    std::string text = readFile(file);
    std::string clean;
    bool comment = false;
    for (char c : text) {
        if (c == '#')
            comment = true;
        if (c == '\n')
            comment = false;
        if (!comment)
            clean += c;
    }
    std::size_t i = 0;
    while (i < clean.size()) {
        auto eq = clean.find('=', i);
        if (eq == std::string::npos)
            break;
        std::string names = trim(clean.substr(i, eq - i));
        std::size_t j = eq + 1;
        while (j < clean.size() && std::isspace(static_cast<unsigned char>(clean[j])))
            ++j;
        std::string value;
        if (j < clean.size() && clean[j] == '(') {
            int depth = 0;
            std::size_t k = j;
            for (; k < clean.size(); ++k) {
                if (clean[k] == '(')
                    ++depth;
                else if (clean[k] == ')' && --depth == 0)
                    break;
            }
            value = clean.substr(j, k - j + 1);
            i = k + 1;
        } else {
            auto end = clean.find('\n', j);
            value = trim(clean.substr(j, end == std::string::npos ? std::string::npos : end - j));
            i = end == std::string::npos ? clean.size() : end + 1;
        }
        if (upper(names) == "IFILE") {
            fs::path included = value;
            if (included.is_relative())
                included = file.parent_path() / included;
            if (depthLimit > 0 && fs::exists(included))
                parseTnsNames(included, entries, depthLimit - 1);
            continue;
        }
        std::stringstream list(names);
        std::string name;
        while (std::getline(list, name, ','))
            if (!trim(name).empty())
                entries.push_back({trim(name), value});
    }
}

std::optional<fs::path> tnsNamesFile()
{
    for (const auto &dir : tnsAdminCandidates()) {
        fs::path file = fs::path(dir) / "tnsnames.ora";
        std::error_code ec;
        if (fs::is_regular_file(file, ec))
            return file;
    }
    return std::nullopt;
}

bool aliasMatches(const std::string &entryName, const std::string &wanted)
{
    std::string e = upper(entryName), w = upper(wanted);
    if (e == w)
        return true;
    auto dot = e.find('.');
    return dot != std::string::npos && w.find('.') == std::string::npos && e.substr(0, dot) == w;
}

std::string fileOfDescriptor(const std::string &descriptor, const fs::path &baseDirectory)
{
    std::string file = descriptorFile(descriptor);
    if (file.empty())
        throw clientError(kProtocolAdapterError, "TNS:protocol adapter error");
    fs::path path = file;
    if (path.is_relative())
        path = baseDirectory / path;
    return path.lexically_normal().string();
}

} // namespace

std::vector<std::string> tnsAdminCandidates()
{
    std::vector<std::string> dirs;
    if (auto v = environment("TNS_ADMIN"); !v.empty())
        dirs.push_back(v);
    if (auto home = environment("ORACLE_HOME"); !home.empty())
        dirs.push_back((fs::path(home) / "network" / "admin").string());
    if (auto lib = libraryDirectory(); !lib.empty()) {
        fs::path libDir = lib;
        // A full home keeps the library in <home>/lib; an instant client keeps everything together.
        if (libDir.filename() == "lib")
            dirs.push_back((libDir.parent_path() / "network" / "admin").string());
        // The variant libraries of a development home live in <home>/variants/<name>.
        if (libDir.parent_path().filename() == "variants")
            dirs.push_back((libDir.parent_path().parent_path() / "network" / "admin").string());
        dirs.push_back((libDir / "network" / "admin").string());
    }
    return dirs;
}

std::string descriptorFile(const std::string &descriptor)
{
    std::string u = upper(descriptor);
    std::size_t pos = 0;
    while ((pos = u.find("(FILE", pos)) != std::string::npos) {
        std::size_t j = pos + 5;
        while (j < u.size() && std::isspace(static_cast<unsigned char>(u[j])))
            ++j;
        if (j < u.size() && u[j] == '=') {
            auto end = u.find(')', j);
            if (end == std::string::npos)
                return {};
            return trim(descriptor.substr(j + 1, end - j - 1));
        }
        pos = j;
    }
    return {};
}

std::string resolveConnectIdentifier(const std::string &identifier)
{
    std::string wanted = trim(identifier);
    if (wanted.empty())
        wanted = trim(environment("TWO_TASK"));
    if (wanted.empty())
        throw clientError(kBadServiceName);
    if (wanted.front() == '(')
        return fileOfDescriptor(wanted, fs::current_path());
    auto file = tnsNamesFile();
    if (!file)
        throw clientError(kUnresolvedIdentifier);
    std::vector<Entry> entries;
    parseTnsNames(*file, entries, 8);
    for (const auto &e : entries)
        if (aliasMatches(e.name, wanted))
            return fileOfDescriptor(e.descriptor, file->parent_path());
    throw clientError(kUnresolvedIdentifier);
}

} // namespace devdb::oci
