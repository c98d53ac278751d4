#pragma once

#include "ui/Dialogs.h"

namespace kpx {

// The real dialogs: Qt's input dialog, message boxes and directory chooser, titled "KPX2".
class QtDialogs final : public Dialogs
{
public:
    std::optional<std::string> askText(QWidget *parent, const std::string &title, const std::string &prompt,
                                       const std::string &defaultText) override;
    bool askYesNo(QWidget *parent, const std::string &question) override;
    std::optional<int> askChoice(QWidget *parent, const std::string &text, const std::string &detail,
                                 const std::vector<Choice> &choices) override;
    std::string chooseDirectory(QWidget *parent, const std::string &start) override;
    void inform(QWidget *parent, const std::string &message, Tone tone) override;
};

} // namespace kpx
