#include "engine/DelayTable.h"
#include "engine/RunSettings.h"
#include "engine/TaskEngine.h"
#include "ui/Instruct.h"
#include "ui/MsgForm.h"
#include "ui/StartForm.h"
#include "ui/TaskForm.h"

#include "ScriptedDialogs.h"

#include "forms/DisplayFit.h"
#include "forms/TextFit.h"
#include "forms/WindowLayouts.h"
#include "i18n/Tr.h"

#include <QAction>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <memory>

using namespace kpx;

namespace {

QStringList delayTexts()
{
    QStringList texts;
    const DelayTable table = standardDelayTable();
    for (int k = 1; k <= DelayCount; ++k)
        texts << QString::fromUtf8(i18n::tr(table[k].text.c_str()));
    return texts;
}

QStringList amountTexts()
{
    QStringList texts;
    for (std::int16_t amount = 5; amount <= 100; amount += 5)
        texts << QString::fromStdString(FormatAmount(amount));
    return texts;
}

// Checks that the face really drawn is the one named or one of its chosen stand-ins, and that the
// text fits the control: a line's full advance within the width and its ink below the top edge
// and above the bottom one, or wrapped lines within the whole control.
void verifyFits(QWidget *control, const QString &text, bool wrapped)
{
    const QFont font = control->font();
    const QString used = QFontInfo(font).family();
    QVERIFY2((QStringList{font.family()} + QFont::substitutes(font.family())).contains(used, Qt::CaseInsensitive),
             qPrintable(font.family() + " drawn as " + used));
    const QFontMetrics metrics(font);
    const QRect room = control->contentsRect();
    QRect ink;
    if (wrapped) {
        ink = metrics.boundingRect(room, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    } else {
        const QRect glyphs = metrics.tightBoundingRect(text).translated(0, room.top() + metrics.ascent());
        ink = QRect(room.left() + (room.width() - metrics.horizontalAdvance(text)) / 2, glyphs.top(),
                    metrics.horizontalAdvance(text), glyphs.height());
    }
    QVERIFY2(room.contains(ink), qPrintable(QStringLiteral("\"%1\" in %2 (%3): needs %4x%5 at %6,%7 of %8x%9")
                                                 .arg(text, control->objectName(), used)
                                                 .arg(ink.width()).arg(ink.height()).arg(ink.x()).arg(ink.y())
                                                 .arg(room.width()).arg(room.height())));
}

// The choice window's label of that name.
TaskControl taskLabelNamed(const QString &name)
{
    static const QHash<QString, TaskControl> labels{
        {"Label1", TaskControl::Label1}, {"Label2", TaskControl::Label2}, {"Label3", TaskControl::Label3},
        {"Label4", TaskControl::Label4}, {"Label5", TaskControl::Label5}, {"VDelay", TaskControl::VDelay},
        {"VReward", TaskControl::VReward}};
    return labels.value(name);
}

// Has the window show the text in its label as the run does, where the run sets that label's text;
// a fixed caption is left as the window made it. The label then holds the font the window fitted.
void show(QWidget *window, QLabel *label, const QString &text)
{
    if (auto *choice = qobject_cast<TaskForm *>(window); choice && label->text() != text)
        choice->setCaption(taskLabelNamed(label->objectName()), text.toStdString());
    else if (auto *message = qobject_cast<MsgForm *>(window); message && label->objectName() == "Label2")
        message->setDelayCaption(text.toStdString());
}

// One control as a window laid it out, in device-independent pixels from the area's origin, with its
// place in the design (twips from the same origin) and the texts it can show.
struct Placed
{
    QString name;
    QRect rect;
    forms::Rect design;
    QWidget *control = nullptr;
    QStringList texts;
    bool wrapped = false;
};

forms::Rect within(const forms::Rect &frame, const forms::Rect &label)
{
    return {frame.left + label.left, frame.top + label.top, label.width, label.height};
}

QRect inWindow(QWidget *control)
{
    return QRect(control->mapTo(control->window(), QPoint(0, 0)), control->size());
}

// A window laid out for the display, and what must be seen of it.
struct FittedWindow
{
    std::unique_ptr<QWidget> window;
    QList<Placed> controls;
    double scale = 0;
};

FittedWindow layOut(const QString &name, const forms::Display &display, qreal ratio)
{
    FittedWindow fitted;
    const auto add = [&](const char *control, const forms::Rect &design, const QStringList &texts, bool wrapped) {
        auto *widget = fitted.window->findChild<QWidget *>(QString::fromLatin1(control));
        fitted.controls.append({QString::fromLatin1(control), inWindow(widget), design, widget, texts, wrapped});
    };
    const auto caption = [](const forms::Label &label) { return QStringList{QString::fromUtf8(label.caption.text())}; };
    if (name == "TaskForm") {
        auto *form = new TaskForm;
        fitted.window.reset(form);
        form->layOutFor(display, ratio);
        fitted.scale = *form->displayScale();
        using L = forms::TaskFormLayout;
        add("Frame1", L::Frame1.rect, {}, false);
        add("Frame2", L::Frame2.rect, {}, false);
        add("Label2", L::Label2.rect, caption(L::Label2), false);
        add("VReward", within(L::Frame2.rect, L::VReward.rect), amountTexts(), false);
        add("Label5", within(L::Frame2.rect, L::Label5.rect), caption(L::Label5), false);
        add("Label3", within(L::Frame2.rect, L::Label3.rect), caption(L::Label3), false);
        add("Label1", within(L::Frame1.rect, L::Label1.rect), caption(L::Label1), false);
        add("Label4", within(L::Frame1.rect, L::Label4.rect), caption(L::Label4), false);
        add("VDelay", within(L::Frame1.rect, L::VDelay.rect), delayTexts(), false);
    } else if (name == "Instruct") {
        auto *instruct = new Instruct;
        fitted.window.reset(instruct);
        instruct->layOutFor(display, ratio);
        fitted.scale = instruct->displayScale();
        using L = forms::InstructLayout;
        add("Label1", L::Label1.rect, caption(L::Label1), true);
        add("Command1", L::Command1, {QString::fromUtf8(L::Command1Caption.text())}, false);
    } else {
        auto *msg = new MsgForm;
        fitted.window.reset(msg);
        msg->layOutFor(display, ratio);
        fitted.scale = msg->displayScale();
        using L = forms::MsgFormLayout;
        // From the screen's corner, as the client area's place is.
        const QPoint client = msg->clientPlace().topLeft();
        fitted.controls.append({"Client", msg->clientPlace(), L::Client, nullptr, {}, false});
        add("Label1", within(L::Client, L::Label1.rect), caption(L::Label1), false);
        add("Label2", within(L::Client, L::Label2.rect), delayTexts(), false);
        add("Label3", within(L::Client, L::Label3.rect), caption(L::Label3), true);
        for (Placed &label : fitted.controls)
            if (label.control)
                label.rect.translate(client);
    }
    return fitted;
}

// How a caption is drawn against its layout's font size.
enum class Drawn { AtTheLayoutsSize, Smaller, AtTheFloor };

} // namespace

Q_DECLARE_METATYPE(Drawn)

class LayoutFontsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void participantTextsFit_data();
    void participantTextsFit();
    void instructionsFit();
    void captionShrinksOnlyWhenTooWide_data();
    void captionShrinksOnlyWhenTooWide();
    void everyWindowFitsEveryCommonScaling_data();
    void everyWindowFitsEveryCommonScaling();
    void setupWindowShowsEveryCommand_data();
    void setupWindowShowsEveryCommand();
};

void LayoutFontsTest::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInch(), 96.0);
}

void LayoutFontsTest::participantTextsFit_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("wrapped");

    // Every shipped language's texts, made in that language; the forms draw them alike.
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    for (const i18n::Language &language : i18n::shippedLanguages()) {
        QVERIFY(i18n::setLanguage(language.code));
        const auto tr = [](const char *text) { return QStringList{QString::fromUtf8(i18n::tr(text))}; };
        const auto row = [&](const char *name) {
            return &(QTest::newRow(qPrintable(QString::fromStdString(language.code + ": ") + name))
                     << QString::fromStdString(language.code));
        };
        *row("TaskForm Label2") << "TaskForm" << "Label2" << tr("Please choose between the following two options:")
                                << false;
        *row("VReward, every amount") << "TaskForm" << "VReward" << amountTexts() << false;
        *row("Label5") << "TaskForm" << "Label5" << tr("available") << false;
        *row("Label3") << "TaskForm" << "Label3" << tr("NOW") << false;
        *row("Label1") << "TaskForm" << "Label1" << QStringList{QString::fromStdString(i18n::money(100))} << false;
        *row("Label4") << "TaskForm" << "Label4" << tr("available") << false;
        *row("VDelay, every delay") << "TaskForm" << "VDelay" << delayTexts() << false;
        *row("MsgForm Label1") << "MsgForm" << "Label1" << tr("Now choose between $100") << false;
        *row("MsgForm Label2, every delay in bold") << "MsgForm" << "Label2" << delayTexts() << false;
        *row("MsgForm Label3") << "MsgForm" << "Label3"
                               << tr("and an amount of money available today.  Press the space bar to continue the task.")
                               << true;
    }
}

void LayoutFontsTest::participantTextsFit()
{
    QFETCH(QString, language);
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QStringList, texts);
    QFETCH(bool, wrapped);
    // The window made in the row's language, as the run makes it; each text shown as the run shows it.
    QVERIFY(i18n::setLanguage(language.toStdString()));
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    const std::unique_ptr<QWidget> form(window == "TaskForm" ? static_cast<QWidget *>(new TaskForm)
                                                             : static_cast<QWidget *>(new MsgForm));
    auto *label = form->findChild<QLabel *>(name);
    QVERIFY(label);
    for (const QString &text : std::as_const(texts)) {
        show(form.get(), label, text);
        QCOMPARE(label->text(), text);
        verifyFits(label, text, wrapped);
    }
}


void LayoutFontsTest::captionShrinksOnlyWhenTooWide_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Drawn>("drawn");
    const QString tooLong = QStringLiteral("IN 6 MONATEN UND 3 WOCHEN UND 2 TAGEN").repeated(4);
    QTest::newRow("an English delay keeps the layout's size")
        << "en" << "TaskForm" << "VDelay" << "" << "IN 6 MONTHS" << Drawn::AtTheLayoutsSize;
    QTest::newRow("a German delay too wide is drawn smaller")
        << "de" << "TaskForm" << "VDelay" << "" << "IN 6 MONATEN" << Drawn::Smaller;
    QTest::newRow("a Spanish delay too wide is drawn smaller")
        << "es" << "TaskForm" << "VDelay" << "" << "EN 1 SEMANA" << Drawn::Smaller;
    QTest::newRow("a delay too wide even at the floor is drawn at the floor")
        << "de" << "TaskForm" << "VDelay" << "" << tooLong << Drawn::AtTheFloor;
    QTest::newRow("a short delay after a long one is drawn at the layout's size again")
        << "de" << "TaskForm" << "VDelay" << "IN 6 MONATEN" << "IN 1 TAG" << Drawn::AtTheLayoutsSize;
    QTest::newRow("an English amount keeps the layout's size")
        << "en" << "TaskForm" << "VReward" << "" << "$100" << Drawn::AtTheLayoutsSize;
    QTest::newRow("the break message's English delay keeps the layout's size")
        << "en" << "MsgForm" << "Label2" << "" << "IN 5 YEARS" << Drawn::AtTheLayoutsSize;
    QTest::newRow("the break message's delay too wide even at the floor is drawn at the floor")
        << "de" << "MsgForm" << "Label2" << "" << tooLong << Drawn::AtTheFloor;
    QTest::newRow("the break message's English first line keeps the layout's size")
        << "en" << "MsgForm" << "Label1" << "" << "Now choose between $100" << Drawn::AtTheLayoutsSize;
    QTest::newRow("the break message's German first line is drawn smaller")
        << "de" << "MsgForm" << "Label1" << "" << QString::fromUtf8("Wählen Sie nun zwischen 100 €") << Drawn::Smaller;
    QTest::newRow("the break message's English last lines keep the layout's size")
        << "en" << "MsgForm" << "Label3" << ""
        << "and an amount of money available today.  Press the space bar to continue the task."
        << Drawn::AtTheLayoutsSize;
}

// A caption that fits is drawn at the layout's size; one too wide at the largest whole-point size
// that fits, within its label; one too wide even at the floor at the floor, never below.
void LayoutFontsTest::captionShrinksOnlyWhenTooWide()
{
    QFETCH(QString, language);
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QString, before);
    QFETCH(QString, text);
    QFETCH(Drawn, drawn);
    QVERIFY(i18n::setLanguage(language.toStdString()));
    const auto english = qScopeGuard([] { i18n::setLanguage(i18n::DefaultLanguage); });
    const std::unique_ptr<QWidget> form(window == "TaskForm" ? static_cast<QWidget *>(new TaskForm)
                                                             : static_cast<QWidget *>(new MsgForm));
    auto *label = form->findChild<QLabel *>(name);
    QVERIFY(label);
    const forms::Label &layout = window == "TaskForm" ? (name == "VDelay" ? forms::TaskFormLayout::VDelay
                                                                          : forms::TaskFormLayout::VReward)
                                 : name == "Label1" ? forms::MsgFormLayout::Label1
                                 : name == "Label2" ? forms::MsgFormLayout::Label2
                                                    : forms::MsgFormLayout::Label3;
    if (!before.isEmpty())
        show(form.get(), label, before);
    show(form.get(), label, text);
    QCOMPARE(label->text(), text);
    const double points = label->font().pointSizeF();
    const auto widthAt = [&](double size) {
        QFont font = label->font();
        font.setPointSizeF(size);
        return QFontMetrics(font).horizontalAdvance(text);
    };
    switch (drawn) {
    case Drawn::AtTheLayoutsSize:
        QCOMPARE(points, layout.font.points);
        break;
    case Drawn::Smaller:
        QVERIFY2(points < layout.font.points && points > forms::FloorPoints, qPrintable(QString::number(points)));
        QCOMPARE(points, std::floor(points));
        verifyFits(label, text, false);
        // The largest that fits: a point more would not.
        QVERIFY(widthAt(points + 1) > label->contentsRect().width());
        break;
    case Drawn::AtTheFloor:
        QCOMPARE(points, forms::FloorPoints);
        break;
    }
}

void LayoutFontsTest::instructionsFit()
{
    Instruct instruct;
    verifyFits(instruct.findChild<QLabel *>("Label1"), instructionText(), true);
    verifyFits(instruct.findChild<QPushButton *>("Command1"), QStringLiteral("OK"), false);
}

void LayoutFontsTest::everyWindowFitsEveryCommonScaling_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("dpi");
    const QList<std::pair<QSize, int>> scalings{
        {{1366, 768}, 96},   {{1366, 768}, 120},  {{1366, 768}, 144},  {{1366, 768}, 168},  {{1366, 768}, 192},
        {{1920, 1080}, 96},  {{1920, 1080}, 120}, {{1920, 1080}, 144}, {{1920, 1080}, 168}, {{1920, 1080}, 192},
        {{3840, 2160}, 192},
    };
    for (const char *window : {"TaskForm", "Instruct", "MsgForm"})
        for (const auto &[screen, dpi] : scalings)
            QTest::addRow("%s fits %dx%d at %d dpi", window, screen.width(), screen.height(), dpi)
                << QString::fromLatin1(window) << screen << dpi;
}

// Each window laid out for a screen at a common scaling, its area injected in device pixels (below a
// 40-pixel taskbar and a 23-pixel title bar at 100 %, both growing with the scaling) with Qt's device
// pixel ratio: what must be seen lies inside the area, at the screen's own scale where that fits and
// otherwise smaller, keeping its proportions, and centred; every text's ink stays inside its label.
void LayoutFontsTest::everyWindowFitsEveryCommonScaling()
{
    QFETCH(QString, window);
    QFETCH(QSize, screen);
    QFETCH(int, dpi);
    const qreal ratio = dpi / 96.0;
    const int titleBar = qRound(23 * ratio);
    const int taskbar = qRound(40 * ratio);
    const forms::Rect area{0, titleBar, screen.width(), screen.height() - titleBar - taskbar};
    const FittedWindow fitted = layOut(window, {area, dpi}, ratio);
    QVERIFY(!fitted.controls.isEmpty());
    QVERIFY(fitted.scale <= ratio);
    QVERIFY(fitted.scale > 0.4);

    // The area in device-independent pixels; half of one is the most rounding may cost.
    const QRectF room(area.left / ratio, area.top / ratio, area.width / ratio, area.height / ratio);
    const Placed &first = fitted.controls.front();
    const double perTwip = fitted.scale / ratio / 15.0;
    QRect box = first.rect;
    for (const Placed &each : fitted.controls) {
        const QRect &r = each.rect;
        const QString where = QStringLiteral("%1 at %2,%3 %4x%5 in %6,%7 %8x%9")
                                  .arg(each.name).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())
                                  .arg(room.x()).arg(room.y()).arg(room.width()).arg(room.height());
        QVERIFY2(r.left() >= room.left() - 0.5 && r.top() >= room.top() - 0.5
                     && r.left() + r.width() <= room.right() + 0.5 && r.top() + r.height() <= room.bottom() + 0.5,
                 qPrintable(where));
        box = box.united(r);
        // Every measure and every distance from the first control is the design's at one scale.
        QVERIFY2(qAbs(r.width() - each.design.width * perTwip) <= 1.0, qPrintable(where));
        QVERIFY2(qAbs(r.height() - each.design.height * perTwip) <= 1.0, qPrintable(where));
        QVERIFY2(qAbs(r.left() - first.rect.left() - (each.design.left - first.design.left) * perTwip) <= 2.0,
                 qPrintable(where));
        QVERIFY2(qAbs(r.top() - first.rect.top() - (each.design.top - first.design.top) * perTwip) <= 2.0,
                 qPrintable(where));
        for (const QString &text : each.texts) {
            if (auto *label = qobject_cast<QLabel *>(each.control))
                show(fitted.window.get(), label, text);
            verifyFits(each.control, text, each.wrapped);
        }
    }
    if (fitted.scale < ratio) {
        // Reduced: centred in the area, but for the rounding of the area and of its edges to whole pixels.
        const double leftOver = (box.left() - room.left()) - (room.right() - box.left() - box.width());
        const double topOver = (box.top() - room.top()) - (room.bottom() - box.top() - box.height());
        QVERIFY2(qAbs(leftOver) <= 3 && qAbs(topOver) <= 3,
                 qPrintable(QStringLiteral("%1 %2").arg(leftOver).arg(topOver)));
    } else {
        QCOMPARE(fitted.scale, ratio);
    }
}

void LayoutFontsTest::setupWindowShowsEveryCommand_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("subjectId");
    // An entered ID replaces the bar's first caption, and a long one needs more room than the words did.
    for (const kpx::i18n::Language &language : kpx::i18n::shippedLanguages())
        for (const char *subjectId : {"", "LOOK1", "Participant-2026-12-10-A"})
            QTest::newRow(qPrintable(QStringLiteral("%1, ID \"%2\"").arg(language.code.c_str(), subjectId)))
                << QString::fromStdString(language.code) << QString::fromLatin1(subjectId);
}

// A command the bar cannot fit goes behind its overflow button, where an experimenter would not look
// for Start.
void LayoutFontsTest::setupWindowShowsEveryCommand()
{
    QFETCH(QString, language);
    QFETCH(QString, subjectId);
    QVERIFY(kpx::i18n::setLanguage(language.toStdString()));
    const auto english = qScopeGuard([] { kpx::i18n::setLanguage(kpx::i18n::DefaultLanguage); });
    RunSettings settings;
    kpx::test::ScriptedDialogs dialogs;
    StartForm form(settings, dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QMenuBar *bar = form.menuBar();
    if (!subjectId.isEmpty()) {
        dialogs.texts = {subjectId.toStdString()};
        form.findChild<QAction *>("SIDCtrl")->trigger();
        QCOMPARE(form.findChild<QAction *>("SIDCtrl")->text(), subjectId);
        QTRY_COMPARE(bar->width(), form.width());
    }
    for (QAction *command : bar->actions())
        QVERIFY2(!bar->actionGeometry(command).isEmpty() && bar->rect().contains(bar->actionGeometry(command)),
                 qPrintable(command->text()));
    auto *frame = form.findChild<QGroupBox *>("Frame1");
    QVERIFY(frame->fontMetrics().horizontalAdvance(frame->title()) < frame->width() - 20);
}

QTEST_MAIN(LayoutFontsTest)
#include "LayoutFontsTest.moc"
