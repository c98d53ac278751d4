#pragma once

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

private:
    QLabel *m_label1 = nullptr;
    QPushButton *m_command1 = nullptr;
    std::function<void()> m_startTask;
};

// The text the instructions window shows.
QString instructionText();

} // namespace kpx
