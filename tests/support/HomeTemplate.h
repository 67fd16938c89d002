#pragma once
// Development-database homes laid out once per test process and copied for
// each test. Laying a home out starts the rowpour-devdb tool a few times;
// a copy is a handful of file copies, so suites that give every test a fresh
// database pay the tool only once per kind of home.

#include <QString>

#include <functional>

namespace rowpour::testing
{

// Lays out a home in the given folder (which does not exist yet); throws
// std::runtime_error with the reason when it cannot.
using HomeLayout = std::function<void(const QString &home)>;

// Copies a home made by rowpour-devdb to `target`. A client library file is
// linked rather than copied when no other live copy links it and this
// process has not loaded it, so that each copy still loads a library of its
// own, which finds its own home; the alias file is rewritten to name the
// copy's database files. Throws std::runtime_error on failure.
void copyDevDbHome(const QString &source, const QString &target);

// Copies the template home `key` to `target`. The template is laid out by
// `layout` the first time this process asks for `key`, in a folder removed
// when the process ends; a layout that fails is tried again next time.
// Throws std::runtime_error on failure.
void copyHomeTemplate(const QString &key, const QString &target, const HomeLayout &layout);

// The rowpour-devdb tool of the build (ROWPOUR_BUILD_DIR).
QString devdbTool();

} // namespace rowpour::testing
