#pragma once

#include "forms/SetupCommands.h"
#include "ui/Dialogs.h"

#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace kpx {

struct RunSettings;

// The setup window: enters the run's settings through its menu and picks the output directory.
class StartForm final : public QMainWindow
{
    Q_OBJECT

public:
    // Opens Dir1 on the documents folder, which becomes OutputDirectory; settings and dialogs must
    // outlive the window.
    StartForm(RunSettings &settings, Dialogs &dialogs, QWidget *parent = nullptr);

    // Called by Start.
    void setShowInstructions(std::function<void()> showInstructions);
    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> mayClose);
    // Called by the Language command with the code of the language chosen; false when refused.
    void setChooseLanguage(std::function<bool(const std::string &)> chooseLanguage);
    // The commands' and the frame's texts again, in the active language, which the Language command marks.
    void retranslate();

    // Dir1's path: opens the directory, which becomes OutputDirectory.
    void setDirectory(const QString &path);
    // The directory Dir1 has open.
    QString directory() const { return m_directory; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void fitMenuBar();
    // The text-entry dialog, owned by this window.
    forms::AskText ask();
    void enterSubjectId();
    void SetMaxTrials();
    void SetDistractorThreshold();
    void chooseDrive(int index);
    void openItem(QTreeWidgetItem *item);
    void fillDir1();

    RunSettings &m_settings;
    Dialogs &m_dialogs;
    std::function<void()> m_showInstructions;
    std::function<bool()> m_mayClose;
    std::function<bool(const std::string &)> m_chooseLanguage;
    // Whether SIDCtrl and CutCtrl show an entry yet, rather than their captions at start.
    bool m_subjectIdEntered = false;
    bool m_cutoffEntered = false;
    QString m_directory;

    QAction *m_SIDCtrl = nullptr;
    QAction *m_CutCtrl = nullptr;
    QAction *m_DTThresh = nullptr;
    QAction *m_StartCtrl = nullptr;
    QMenu *m_LangCtrl = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QComboBox *m_drive1 = nullptr;
    QTreeWidget *m_dir1 = nullptr;
};

} // namespace kpx
