#include "tests/support/MsgBoxRecorder.h"

MsgBoxRecorder::MsgBoxRecorder(int answer) {
    previous_ =
        platform::SetMsgBoxHandler([this, answer](const QString& prompt, int style, const QString& title) {
            boxes_.push_back({prompt, style, title});
            return answer;
        });
}

MsgBoxRecorder::~MsgBoxRecorder() { platform::SetMsgBoxHandler(std::move(previous_)); }

QStringList MsgBoxRecorder::oneBoxFaults(const QString& prompt, std::optional<int> style) const {
    if (boxes_.size() != 1) return {QStringLiteral("%1 message boxes").arg(boxes_.size())};
    const RecordedBox& box = boxes_.front();
    QStringList faults;
    if (box.prompt != prompt) faults << QStringLiteral("prompt: ") + box.prompt;
    if (style && box.style != *style) faults << QStringLiteral("style %1").arg(box.style);
    if (box.title != QStringLiteral("Project1")) faults << QStringLiteral("title: ") + box.title;
    return faults;
}
