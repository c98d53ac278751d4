#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kpx {

// Every modal dialog the application shows, behind one seam: each front-end shows the real ones for
// its windows (`Window`), tests answer from a script. Each call returns once the dialog is answered;
// `parent` may be null. Texts are UTF-8.
template <class Window>
class DialogsOf
{
public:
    // How a choice's button behaves in the box.
    enum class Role {
        Accept,      // a way forward
        Reject,      // the way out (Escape)
        Destructive, // gives something up
        Cancel,      // the standard Cancel button
    };

    struct Choice
    {
        std::string text;
        Role role = Role::Accept;
    };

    enum class Tone { Plain, Warning };

    virtual ~DialogsOf() = default;

    // A line of text, prefilled with defaultText: the text as typed, or nullopt on Cancel.
    virtual std::optional<std::string> askText(Window *parent, const std::string &title, const std::string &prompt,
                                               const std::string &defaultText) = 0;

    // A question answered Yes or No, No by default; true for Yes.
    virtual bool askYesNo(Window *parent, const std::string &question) = 0;

    // A warning offering choices, the first one the default: the index of the choice taken, or nullopt
    // when the box closed without one.
    virtual std::optional<int> askChoice(Window *parent, const std::string &text, const std::string &detail,
                                         const std::vector<Choice> &choices) = 0;

    // An existing directory, starting in `start`; empty on Cancel.
    virtual std::string chooseDirectory(Window *parent, const std::string &start) = 0;

    // A message with OK only.
    virtual void inform(Window *parent, const std::string &message, Tone tone) = 0;
};

} // namespace kpx
