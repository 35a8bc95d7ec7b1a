#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <unistd.h>

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ferry-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "cannot create a temporary folder";
    else
        path = pattern;
}

TempDir::~TempDir()
{
    if (path.empty())
        return;
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
}

WorkingDirectoryGuard::WorkingDirectoryGuard(const std::string& directory)
{
    std::error_code error;
    previous = std::filesystem::current_path(error).string();
    if (::chdir(directory.c_str()) != 0)
        ADD_FAILURE() << "cannot change to " << directory;
}

WorkingDirectoryGuard::~WorkingDirectoryGuard()
{
    if (!previous.empty() && ::chdir(previous.c_str()) != 0)
        ADD_FAILURE() << "cannot change back to " << previous;
}

EnvironmentGuard::EnvironmentGuard(const char* variable, const char* value)
    : name(variable)
{
    if (const char* old = std::getenv(variable))
        previous = old;
    if (value != nullptr)
        ::setenv(variable, value, 1);
    else
        ::unsetenv(variable);
}

EnvironmentGuard::~EnvironmentGuard()
{
    if (previous)
        ::setenv(name.c_str(), previous->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}
