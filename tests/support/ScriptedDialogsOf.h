#pragma once

#include "forms/Dialogs.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kpx::test {

// Cancel in a script of text answers.
inline constexpr std::nullopt_t Cancel = std::nullopt;

// Answers every dialog from a script, in turn by kind, and records what each one showed. Past the end
// of its script a text entry and a directory chooser are cancelled, a yes/no question is answered No
// and a choice takes its last option: the way out of every box the application shows. The same script
// serves the windows of either front-end.
template <class Window>
class ScriptedDialogsOf final : public DialogsOf<Window>
{
public:
    using typename DialogsOf<Window>::Choice;
    using typename DialogsOf<Window>::Tone;

    struct TextCall
    {
        std::string prompt;
        std::string title;
        std::string defaultText;
    };

    std::optional<std::string> askText(Window *, const std::string &title, const std::string &prompt,
                                       const std::string &defaultText) override
    {
        textCalls.push_back({prompt, title, defaultText});
        shown(prompt);
        if (texts.empty())
            return std::nullopt;
        const std::optional<std::string> answer = texts.front();
        texts.erase(texts.begin());
        return answer;
    }

    bool askYesNo(Window *, const std::string &question) override
    {
        questions.push_back(question);
        shown(question);
        return !yesNo.empty() && take(yesNo);
    }

    std::optional<int> askChoice(Window *, const std::string &text, const std::string &,
                                 const std::vector<Choice> &offered) override
    {
        questions.push_back(text);
        shown(text);
        const int choice = choices.empty() ? int(offered.size()) - 1 : take(choices);
        if (choice < 0 || choice >= int(offered.size()))
            return std::nullopt;
        return choice;
    }

    std::string chooseDirectory(Window *, const std::string &start) override
    {
        shown(start);
        return directories.empty() ? std::string() : take(directories);
    }

    void inform(Window *, const std::string &message, Tone) override
    {
        messages.push_back(message);
        shown(message);
    }

    // The answers still to give, by kind; Cancel in the texts, a choice out of range closes the box.
    std::vector<std::optional<std::string>> texts;
    std::vector<bool> yesNo;
    std::vector<int> choices;
    std::vector<std::string> directories;
    // Called as each dialog comes up, before it is answered: what a user does while it is open.
    std::function<void(const std::string &text)> whileShown;

    // What the dialogs showed.
    std::vector<TextCall> textCalls;
    std::vector<std::string> questions;
    std::vector<std::string> messages;

private:
    template <class T>
    static T take(std::vector<T> &script)
    {
        T first = script.front();
        script.erase(script.begin());
        return first;
    }

    void shown(const std::string &text)
    {
        if (whileShown)
            whileShown(text);
    }
};

} // namespace kpx::test
