#pragma once

#include <optional>
#include <string>

namespace kpx {
struct RunSettings;
}

namespace kpx::web {

// What the page's one setup form (or the link that fills it) holds, as typed.
struct SetupEntries
{
    std::string subject;
    std::string cutoff; // empty: left at its default
    std::string dtt;    // empty: left at its default
};

// Which entry the setup form must ask again, and why, in the desktop's words.
struct SetupRefusal
{
    std::string field; // "subject" or "dtt"
    std::string message;
};

// Reads the entries by the setup window's rules into the settings; a refused entry leaves them as
// they were. An empty subject ID is refused: the desktop's Start stays disabled without one.
std::optional<SetupRefusal> applySetup(const SetupEntries &entries, RunSettings &settings);

} // namespace kpx::web
