#pragma once

// Scoped test surroundings: a fresh folder removed with everything in it, a
// working-directory change undone at scope end, and an environment variable
// set for the scope.

#include <optional>
#include <string>

class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }

    // `name` inside the folder.
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

class WorkingDirectoryGuard
{
public:
    explicit WorkingDirectoryGuard(const std::string& directory);
    ~WorkingDirectoryGuard();
    WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
    WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;

private:
    std::string previous;
};

class EnvironmentGuard
{
public:
    // A null value unsets the variable for the scope.
    EnvironmentGuard(const char* name, const char* value);
    ~EnvironmentGuard();
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    std::string name;
    std::optional<std::string> previous;
};

// The whole content of a file, or nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Creates or replaces a file with exactly `content`; fails the test otherwise.
void WriteWholeFile(const std::string& path, const std::string& content);
