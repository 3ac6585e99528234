// What the entry comN of the settings folder names, and whether it may be followed. COM n
// is the device a link named comN points to; a link that someone else could have put there
// or could replace would send the operator's settings to a device of theirs, so such a link
// is refused, with the reason, the way ssh refuses a key file that others may write.
#pragma once

#include <string>

namespace comlink {

struct ComLink {
    bool exists = false;  // something named comN is in the settings folder
    bool symbolic = false;  // and it is a symbolic link
    std::string path;       // comN, absolute
    std::string target;     // a link's own text, resolved against its folder; else empty
    std::string device;     // where it ends after every link; empty when that is not there
    std::string refusal;    // why it must not be followed ("refused: ..."); empty when it may
};

// COM n's entry in the settings folder. Its refusal, when it has one, is that of Refusal.
ComLink Resolve(int port);

// Whether the entry at path (comN) may be followed by the user running the program. It may,
// when
//   - it belongs to that user or to root;
//   - its folder belongs to that user or to root; and
//   - no one else may write the folder: neither others nor the group may, or the folder is
//     sticky (like /tmp: others may add their own entries but cannot remove or replace
//     one of ours), or the group that may is the owner's own (the group of the owner's
//     name, the owner's primary group, no other member listed).
// Otherwise the reason, as "refused: ..." with what to do about it. Always empty on
// systems without such owners (Windows).
std::string Refusal(const std::string& path);

}  // namespace comlink
