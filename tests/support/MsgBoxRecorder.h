#pragma once
// Replaces the message box for the life of the object: records every box and answers it at once.

#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct RecordedBox {
    QString prompt;
    int style;
    QString title;
};

class MsgBoxRecorder {
public:
    explicit MsgBoxRecorder(int answer = platform::vbOK);
    ~MsgBoxRecorder();
    MsgBoxRecorder(const MsgBoxRecorder&) = delete;
    MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;

    const std::vector<RecordedBox>& boxes() const { return boxes_; }
    // What differs from exactly one box with this prompt (and style, when given) under the program's
    // caption, a line each: for checks where no test macro can run (a child process).
    QStringList oneBoxFaults(const QString& prompt, std::optional<int> style = {}) const;
    bool empty() const { return boxes_.empty(); }
    void clear() { boxes_.clear(); }

private:
    std::vector<RecordedBox> boxes_;
    platform::MsgBoxHandler previous_;
};
