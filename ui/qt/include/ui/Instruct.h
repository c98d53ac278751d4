#pragma once

#include "forms/DisplayFit.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace kpx {

// The instructions window: tells the participant how the task works; its OK starts the task.
class Instruct final : public QWidget
{
    Q_OBJECT

public:
    explicit Instruct(QWidget *parent = nullptr);

    // Called when OK is pressed.
    void setStartTask(std::function<void()> startTask);
    // Its title, text and OK again, in the active language.
    void retranslate();

    // Lays the controls out for that display (its maximized client area in device pixels and dots per
    // inch) by the layouts' fit rule, in device-independent pixels of that ratio; the window does so
    // itself for the area it gets maximized.
    void layOutFor(const forms::Display &display, qreal devicePixelRatio);
    // Display pixels per layout pixel at 96 dots per inch, as the controls are laid out now.
    double displayScale() const { return m_scale; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    double m_scale = 1.0;
    QLabel *m_label1 = nullptr;
    QPushButton *m_command1 = nullptr;
    std::function<void()> m_startTask;
};

// The text the instructions window shows.
QString instructionText();

} // namespace kpx
