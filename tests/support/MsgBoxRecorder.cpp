#include "tests/support/MsgBoxRecorder.h"

MsgBoxRecorder::MsgBoxRecorder(int answer) {
    previous_ =
        platform::SetMsgBoxHandler([this, answer](const QString& prompt, int style, const QString& title) {
            boxes_.push_back({prompt, style, title});
            return answer;
        });
}

MsgBoxRecorder::~MsgBoxRecorder() { platform::SetMsgBoxHandler(std::move(previous_)); }
