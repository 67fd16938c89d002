#include "Errors.h"

#include <cstdio>

namespace devdb
{

std::string formatError(const OraError &error)
{
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", error.code);
    return prefix + error.text;
}

namespace errors
{

std::string format(const char *pattern, const std::string &a)
{
    std::string out = pattern;
    auto at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, a);
    return out;
}

std::string format(const char *pattern, const std::string &a, const std::string &b)
{
    return format(format(pattern, a).c_str(), b);
}

void raise(int code, std::string text, int offset)
{
    throw OraError(code, std::move(text), offset);
}

} // namespace errors
} // namespace devdb

namespace devdb::errors
{
std::string format(const char *pattern, const std::string &a, const std::string &b, const std::string &c)
{
    return format(format(pattern, a, b).c_str(), c);
}
} // namespace devdb::errors
