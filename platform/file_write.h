// Writing a whole file with care: the settings file, and whatever the operator saves (run
// files, results, plots, the link log).
#pragma once

#include <string>
#include <string_view>

namespace filewrite {

// The failure that is no errno value: the path names something other than a regular file
// (a device, a FIFO, a socket, a folder), which is never written or replaced.
inline constexpr int kNotRegular = -1;

// Replaces the contents of the file at path with text; 0 when the text is in the file,
// else an errno value or kNotRegular, and then the old file is as it was.
//
// The new text goes to a temporary file in the file's folder that is flushed to the disk,
// checked and then renamed over the old one, so the old file stays whole until the new one
// is complete. A symbolic link is written through: its target's contents change, the link
// stays. The file is written in place instead (same inode) when the folder refuses a new
// file, or when a renamed file could not keep the old one's owner or its other hard links.
// A file that is not there yet is made (a dangling link makes its target).
int WriteWhole(const std::string& path, std::string_view text);

// Why a write failed, in English: the system's text for an errno value, or "it is not a
// regular file".
std::string Reason(int error);

}  // namespace filewrite
