#pragma once

#include "forms/DisplayFit.h"
#include "presentation/BreakScreen.h"

#include <QWidget>

#include <array>
#include <cstddef>

class QLabel;

namespace kpx {

class RunFlow;

// The break message before each block; the space bar on it continues the run.
class MsgForm : public QWidget, public BreakScreen
{
    Q_OBJECT

public:
    // Pass the choice window as parent so the message stays above it.
    explicit MsgForm(QWidget *parent = nullptr);

    // Keys go to this flow from now on; it must outlive the window's use.
    void attach(RunFlow &flow);

    void setDelayCaption(const std::string &text) override;
    // The fixed captions again, in the active language.
    void retranslate();
    // At its fixed screen place, above the choice window, active and with the keyboard.
    void show() override;
    // Hands the keyboard back to the choice window.
    void hide() override;

    // Lays the window out for that display (where its client area may lie, in device pixels from the
    // screen's corner, and the screen's dots per inch) by the layouts' fit rule, in device-independent
    // pixels of that ratio; shown, it does so itself for its screen.
    void layOutFor(const forms::Display &display, qreal devicePixelRatio);
    // Its client area's place from the screen's corner, in device-independent pixels, as laid out now.
    QRect clientPlace() const { return m_client; }
    double displayScale() const { return m_scale; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Label1 to Label3 by index from 0.
    QLabel *label(std::size_t index) const;
    // The label's text in the largest size that fits it, the layout's wherever it fits there; done
    // whenever its text or size changes, never on the way to the screen.
    void fitText(std::size_t index);

    // Each label's font at the scale it is laid out at, before its text is fitted.
    std::array<forms::Font, 3> m_fonts{};
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    RunFlow *m_flow = nullptr;
    QRect m_client;
    double m_scale = 1.0;
};

} // namespace kpx
