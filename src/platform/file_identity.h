#pragma once

// Whether two paths lead to the same file, however they are spelt: through
// symbolic links, hard links, "." and ".." steps or doubled separators. A
// file that does not exist yet is the one its path would create: the same
// name in the same folder, after a dangling symbolic link, as opening it for
// writing would follow it; below a folder that does not exist either, it is
// the same path under the nearest folder that does.

#include <string>

bool NamesSameFile(const std::string& a, const std::string& b);
