#pragma once

// Replacing a file in one step. The new content is written to a file of its
// own in the same folder, reaches the disk, and is renamed over the old one,
// so a crash or a full disk leaves either the old file or the new one, never
// a half-written or emptied one.

#include <string>

// The file that `path` names, with a symbolic link followed, so that a
// linked file stays a link and the file it points to is the one replaced.
std::string FollowLink(const std::string& path);

// Creates an empty file beside `path` under a fresh name, with the
// permissions (and, where allowed, the owner) of the file at `path` if there
// is one. Returns its descriptor and fills `name`, or returns -1.
int CreateSiblingFile(const std::string& path, std::string* name);

// Renames the finished sibling over `path` and makes the rename durable.
// On failure the sibling is removed and `path` is untouched.
bool CommitSiblingFile(const std::string& sibling, const std::string& path);

// Replaces the regular file at `path` (created when missing) with `content`.
// Fails, leaving everything as it was, when `path` is not a regular file or
// any step fails.
bool ReplaceFileContent(const std::string& path, const std::string& content);
