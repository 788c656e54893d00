#pragma once
// Replaces the message box for the life of the object: records every box and answers it at once.

#include "platform/runtime.h"

#include <QString>
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
    bool empty() const { return boxes_.empty(); }
    void clear() { boxes_.clear(); }

private:
    std::vector<RecordedBox> boxes_;
    platform::MsgBoxHandler previous_;
};
