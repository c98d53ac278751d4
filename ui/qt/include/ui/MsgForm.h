#pragma once

#include "presentation/BreakScreen.h"

#include <QWidget>

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
    // At its fixed screen place, above the choice window, active and with the keyboard.
    void show() override;
    // Hands the keyboard back to the choice window.
    void hide() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    RunFlow *m_flow = nullptr;
};

} // namespace kpx
