#pragma once

#include "payload-check/TreeSnapshot.h"

#include <string>

namespace ZunoInstaller::PayloadCheck {

// What a home holds right after a run was cut short, against what a clean
// install left there. Before the cut the home held a clean install, and the
// run installs the same again, so the earlier copy and the new one look alike.
struct AfterCut {
    enum class State {
        // Everything of the clean install in place and unchanged.
        whole,
        // A part of it is gone as a whole (the destination) and a complete
        // copy of that part waits elsewhere in the home: the instant between
        // the two renames that swap a copy for another.
        missing,
        // Anything else: a partial or damaged install.
        partial,
    };
    State state = State::whole;
    // missing, partial: what was found, for a detail.
    std::string what;
};

// `fresh`: the home before anything was installed; `installed`: after a clean
// install; `now`: right after the cut. A part is taken for a destination
// between renames only when its copy does not sit among copies of its
// neighbours: then the cut came in the middle of a copy of a larger folder.
AfterCut readAfterCut(const TreeSnapshot& fresh, const TreeSnapshot& installed, const TreeSnapshot& now);

} // namespace ZunoInstaller::PayloadCheck
