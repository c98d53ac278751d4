#include "ui/StartForm.h"

#include "engine/RunSettings.h"
#include "forms/SetupCommands.h"
#include "forms/WindowLayouts.h"
#include "ui/DocumentsFolder.h"
#include "ui/Twips.h"

#include "i18n/Tr.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QScreen>
#include <QStorageInfo>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace kpx {

namespace {

using Layout = forms::StartFormLayout;

constexpr int PathRole = Qt::UserRole;

QAction *addMenuCommand(QMenuBar *bar, const forms::MenuCommand &command, const std::string &text)
{
    QAction *action = bar->addAction(QString::fromStdString(text));
    action->setObjectName(QString::fromLatin1(command.name));
    action->setEnabled(command.enabled);
    return action;
}

QAction *addMenuCommand(QMenuBar *bar, const forms::MenuCommand &command)
{
    return addMenuCommand(bar, command, command.text.text());
}

// The directory itself and its parents, root first.
QStringList pathChain(const QString &directory)
{
    QStringList chain;
    QDir dir(directory);
    for (;;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    return chain;
}

// The setup commands' menu bar: it marks the command the keyboard is on, which some styles do not,
// and F10 enters it as Alt does, as on Linux desktops.
class SetupMenuBar final : public QMenuBar
{
public:
    explicit SetupMenuBar(QWidget *parent)
        : QMenuBar(parent)
    {
        setStyleSheet(QStringLiteral(
            "QMenuBar::item:selected { background: palette(highlight); color: palette(highlighted-text); }"));
    }

    // F10: the keyboard goes to the first command; a second F10 leaves, like Escape.
    void enterFromKeyboard()
    {
        if (activeAction()) {
            leave();
            return;
        }
        const QList<QAction *> commands = actions();
        for (QAction *command : commands) {
            if (command->isEnabled() && command->isVisible()) {
                m_returnFocus = QApplication::focusWidget();
                setFocus(Qt::MenuBarFocusReason);
                setActiveAction(command);
                return;
            }
        }
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        QMenuBar::keyPressEvent(event);
        // Return and Escape end the visit; the keyboard goes back where it came from.
        if (!activeAction())
            returnFocus();
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        QMenuBar::focusOutEvent(event);
        // A click elsewhere ends a visit begun with F10 as it ends one begun with Alt.
        if (m_returnFocus && activeAction() && event->reason() != Qt::PopupFocusReason)
            leave();
    }

private:
    void leave()
    {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QMenuBar::keyPressEvent(&escape);
        returnFocus();
    }

    void returnFocus()
    {
        if (m_returnFocus && hasFocus())
            m_returnFocus->setFocus(Qt::MenuBarFocusReason);
        m_returnFocus = nullptr;
    }

    QPointer<QWidget> m_returnFocus;
};

} // namespace

StartForm::StartForm(RunSettings &settings, Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("StartForm"));
    setWindowTitle(QString::fromLatin1(Layout::Caption));

    auto *bar = new SetupMenuBar(this);
    setMenuBar(bar);
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, bar, &SetupMenuBar::enterFromKeyboard);
    m_SIDCtrl = addMenuCommand(bar, Layout::SIDCtrl);
    m_CutCtrl = addMenuCommand(bar, Layout::CutCtrl, forms::cutoffMenuTextAtStart());
    m_DTThresh = addMenuCommand(bar, Layout::DTThresh, forms::thresholdMenuText(DefaultDistractorThreshold));
    m_StartCtrl = addMenuCommand(bar, Layout::StartCtrl);
    connect(m_SIDCtrl, &QAction::triggered, this, &StartForm::enterSubjectId);
    connect(m_CutCtrl, &QAction::triggered, this, &StartForm::SetMaxTrials);
    connect(m_DTThresh, &QAction::triggered, this, &StartForm::SetDistractorThreshold);
    connect(m_StartCtrl, &QAction::triggered, this, [this] {
        if (m_showInstructions)
            m_showInstructions();
    });
    // Each shipped language by its own name, the active one marked.
    m_LangCtrl = bar->addMenu(QString::fromUtf8(Layout::LangCtrl.text.text()));
    m_LangCtrl->setObjectName(QString::fromLatin1(Layout::LangCtrl.name));
    m_LangCtrl->menuAction()->setObjectName(QString::fromLatin1(Layout::LangCtrl.name));
    auto *languages = new QActionGroup(m_LangCtrl);
    for (const i18n::Language &language : i18n::shippedLanguages()) {
        QAction *choice = m_LangCtrl->addAction(QString::fromStdString(language.name));
        choice->setObjectName(QString::fromStdString(language.code));
        choice->setCheckable(true);
        choice->setChecked(language.code == i18n::activeLanguage());
        languages->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, code = language.code] {
            if (m_chooseLanguage)
                m_chooseLanguage(code);
            // Refused, the mark goes back to the language that stays.
            retranslate();
        });
    }

    auto *client = new QWidget(this);
    // Frame1 is made first so that it lies behind the two lists.
    m_frame1 = new QGroupBox(QString::fromUtf8(Layout::Frame1.caption.text()), client);
    m_frame1->setObjectName(QString::fromLatin1(Layout::Frame1.name));
    m_frame1->setGeometry(fromTwips(Layout::Frame1.rect));

    m_drive1 = new QComboBox(client);
    m_drive1->setObjectName(QStringLiteral("Drive1"));
    m_drive1->setGeometry(fromTwips(Layout::Drive1));
    m_drive1->addItems(mountedDrives());
    // Only a change of drive moves Dir1: choosing the drive already shown leaves it where it is.
    connect(m_drive1, &QComboBox::currentIndexChanged, this, &StartForm::chooseDrive);

    m_dir1 = new QTreeWidget(client);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setGeometry(fromTwips(Layout::Dir1));
    m_dir1->setHeaderHidden(true);
    m_dir1->setRootIsDecorated(false);
    m_dir1->setItemsExpandable(false);
    m_dir1->setExpandsOnDoubleClick(false);
    m_dir1->setIndentation(10);
    // Nothing in the list folds: no branch arrows that suggest otherwise.
    m_dir1->setStyleSheet(QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));
    // A single click only highlights; opening takes a double click.
    connect(m_dir1, &QTreeWidget::itemDoubleClicked, this, &StartForm::openItem);

    setTabOrder(m_drive1, m_dir1);
    setCentralWidget(client);
    resize(fromTwips(Layout::Client) + QSize(0, menuBar()->sizeHint().height()));
    fitMenuBar();

    // An empty or missing documents folder is kept as it is: the list then stays empty, a drive
    // choice leads elsewhere, and a write there is reported when the run ends.
    setDirectory(GetDocumentsFolder());
}

void StartForm::setShowInstructions(std::function<void()> showInstructions)
{
    m_showInstructions = std::move(showInstructions);
}

void StartForm::setCloseGuard(std::function<bool()> mayClose)
{
    m_mayClose = std::move(mayClose);
}

void StartForm::setChooseLanguage(std::function<bool(const std::string &)> chooseLanguage)
{
    m_chooseLanguage = std::move(chooseLanguage);
}

void StartForm::retranslate()
{
    const forms::SetupMenuTexts texts = forms::setupMenuTexts(m_settings, m_subjectIdEntered, m_cutoffEntered);
    m_SIDCtrl->setText(QString::fromStdString(texts.subjectId));
    m_CutCtrl->setText(QString::fromStdString(texts.cutoff));
    m_DTThresh->setText(QString::fromStdString(texts.threshold));
    m_StartCtrl->setText(QString::fromStdString(texts.start));
    m_LangCtrl->setTitle(QString::fromStdString(texts.language));
    for (QAction *choice : m_LangCtrl->actions())
        choice->setChecked(choice->objectName().toStdString() == i18n::activeLanguage());
    m_frame1->setTitle(QString::fromUtf8(Layout::Frame1.caption.text()));
    fitMenuBar();
}

void StartForm::fitMenuBar()
{
    // Wider than designed where the commands need it (a language's words, an entered subject ID), so
    // that none goes behind the bar's overflow button, where an experimenter would not look for it; the
    // controls keep their places. Never wider than the screen, which an absurdly long ID would ask for.
    int width = std::max(fromTwips(Layout::Client).width(), menuBar()->sizeHint().width());
    if (const QScreen *shown = screen())
        width = std::min(width, std::max(fromTwips(Layout::Client).width(), shown->availableGeometry().width()));
    if (width != this->width())
        resize(width, height());
}

void StartForm::setDirectory(const QString &path)
{
    m_directory = path.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    m_settings.OutputDirectory = m_directory.toStdString();
    fillDir1();

    // The drive list follows, without a drive of its own when the directory is nowhere.
    const QString root = QFileInfo(m_directory).isDir() ? QStorageInfo(m_directory).rootPath() : QString();
    const QSignalBlocker following(m_drive1);
    m_drive1->setCurrentIndex(root.isEmpty() ? -1 : m_drive1->findText(root));
}

void StartForm::closeEvent(QCloseEvent *event)
{
    if (m_mayClose && !m_mayClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

forms::AskText StartForm::ask()
{
    return [this](const forms::TextQuestion &question) {
        return m_dialogs.askText(this, question.title, question.prompt, question.defaultText);
    };
}

void StartForm::enterSubjectId()
{
    const std::string menuText = forms::enterSubjectId(m_settings, ask(), [this](const std::string &refusal) {
        m_dialogs.inform(this, refusal, Dialogs::Tone::Warning);
    });
    m_SIDCtrl->setText(QString::fromStdString(menuText));
    m_subjectIdEntered = true;
    m_StartCtrl->setEnabled(true);
    fitMenuBar();
}

void StartForm::SetMaxTrials()
{
    m_CutCtrl->setText(QString::fromStdString(forms::SetMaxTrials(m_settings, ask())));
    m_cutoffEntered = true;
    fitMenuBar();
}

void StartForm::SetDistractorThreshold()
{
    if (const std::optional<std::string> menuText = forms::SetDistractorThreshold(m_settings, ask()))
        m_DTThresh->setText(QString::fromStdString(*menuText));
    fitMenuBar();
}

void StartForm::chooseDrive(int index)
{
    if (index >= 0)
        setDirectory(m_drive1->itemText(index));
}

void StartForm::openItem(QTreeWidgetItem *item)
{
    if (item)
        setDirectory(item->data(0, PathRole).toString());
}

void StartForm::fillDir1()
{
    m_dir1->clear();
    if (!QFileInfo(m_directory).isDir())
        return;

    QTreeWidgetItem *parent = nullptr;
    const QStringList chain = pathChain(m_directory);
    for (const QString &path : chain) {
        const QString name = QDir(path).isRoot() ? path : QFileInfo(path).fileName();
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_dir1);
        item->setText(0, name);
        item->setToolTip(0, path);
        item->setData(0, PathRole, path);
        item->setIcon(0, style()->standardIcon(path == m_directory ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon));
        parent = item;
    }

    const QDir open(m_directory);
    const QStringList names = open.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        auto *item = new QTreeWidgetItem(parent);
        item->setText(0, name);
        item->setToolTip(0, open.filePath(name));
        item->setData(0, PathRole, open.filePath(name));
        item->setIcon(0, style()->standardIcon(QStyle::SP_DirClosedIcon));
    }
    m_dir1->expandAll();
    // The open directory is the highlighted one until the experimenter highlights another.
    m_dir1->setCurrentItem(parent);
    m_dir1->scrollToItem(parent);
}

} // namespace kpx
