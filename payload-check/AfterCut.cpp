#include "payload-check/AfterCut.h"

#include "payload-check/PrintableText.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

namespace {

std::string parentOf(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

std::string baseOf(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string joined(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "/" + name;
}

bool below(const std::string& name, const std::string& folder)
{
    return folder.empty() ||
           (name.size() > folder.size() && name.starts_with(folder) && name[folder.size()] == '/');
}

class CutReading {
public:
    CutReading(const TreeSnapshot& fresh, const TreeSnapshot& installed, const TreeSnapshot& now)
        : fresh_(fresh), installed_(installed), now_(now), installedNames_(installed.names()),
          nowNames_(now.names())
    {
    }

    AfterCut run() const
    {
        std::vector<std::string> roots;
        std::vector<std::string> changed;
        std::size_t missing = 0;
        for (const std::string& name : installedNames_) {
            if (!now_.has(name)) {
                ++missing;
                if (const std::string parent = parentOf(name); parent.empty() || now_.has(parent))
                    roots.push_back(name);
            } else if (!now_.sameContent(name, installed_, name)) {
                changed.push_back(name);
            }
        }
        if (roots.empty() && changed.empty())
            return {};
        const auto partial = [&] {
            std::string what = "the install was neither the complete earlier copy nor the complete new one: " +
                               std::to_string(missing) + " of the " + std::to_string(installedNames_.size()) +
                               " entries of a clean install were missing";
            if (!roots.empty())
                what += " (" + shown(roots.front()) + " first)";
            if (!changed.empty())
                what += " and " + std::to_string(changed.size()) + " changed (" + shown(changed.front()) + " first)";
            return AfterCut{AfterCut::State::partial, what};
        };
        if (!changed.empty())
            return partial();
        std::string found;
        for (const std::string& root : roots) {
            const std::optional<std::string> copy = waitingCopy(root);
            if (!copy)
                return partial();
            found += (found.empty() ? "" : "; ") + shown(root) + " was missing, with a complete copy in " +
                     shown(*copy);
        }
        return {AfterCut::State::missing, found};
    }

private:
    static std::string shown(const std::string& name) { return PrintableText{.limit = 160}(name); }

    // A complete copy of `root` elsewhere in the home that is not one piece
    // of a copy of the folder around it.
    std::optional<std::string> waitingCopy(const std::string& root) const
    {
        std::vector<std::string> inside;
        for (const std::string& name : installedNames_)
            if (below(name, root))
                inside.push_back(name.substr(root.size() + 1));
        for (const std::string& candidate : nowNames_) {
            if (candidate == root || below(candidate, root) || !now_.sameContent(candidate, installed_, root))
                continue;
            const bool complete = std::all_of(inside.begin(), inside.end(), [&](const std::string& relative) {
                return now_.sameContent(candidate + "/" + relative, installed_, root + "/" + relative);
            });
            if (complete && !amongCopiesOfNeighbours(root, candidate))
                return candidate;
        }
        return std::nullopt;
    }

    // The copy's folder also holds copies of what stays beside `root`: the
    // cut came while that whole folder was being replaced.
    bool amongCopiesOfNeighbours(const std::string& root, const std::string& copy) const
    {
        const std::string parent = parentOf(root);
        const std::string copyParent = parentOf(copy);
        if (copyParent == parent)
            return false;
        for (const std::string& name : installedNames_) {
            if (name == root || parentOf(name) != parent || fresh_.has(name) || !now_.has(name))
                continue;
            if (now_.sameContent(joined(copyParent, baseOf(name)), installed_, name))
                return true;
        }
        return false;
    }

    const TreeSnapshot& fresh_;
    const TreeSnapshot& installed_;
    const TreeSnapshot& now_;
    std::vector<std::string> installedNames_;
    std::vector<std::string> nowNames_;
};

} // namespace

AfterCut readAfterCut(const TreeSnapshot& fresh, const TreeSnapshot& installed, const TreeSnapshot& now)
{
    return CutReading(fresh, installed, now).run();
}

} // namespace ZunoInstaller::PayloadCheck
