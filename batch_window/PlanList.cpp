#include "batch_window/PlanList.h"

#include "platform/reasons.h"

#include <QBrush>
#include <QPalette>
#include <algorithm>

void PlanList::setJobs(std::vector<batch::Job> jobs) {
    beginResetModel();
    jobs_ = std::move(jobs);
    endResetModel();
}

std::vector<QByteArray> PlanList::remove(QModelIndexList rows) {
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() > b.row(); });
    std::vector<QByteArray> removed;
    // Runs of neighbouring rows at once: a selection of thousands stays quick.
    for (qsizetype i = 0; i < rows.size();) {
        const int last = rows[i].row();
        int first = last;
        while (++i < rows.size() && rows[i].row() == first - 1) first = rows[i].row();
        if (first < 0 || last >= int(jobs_.size())) continue;
        beginRemoveRows({}, first, last);
        for (int r = first; r <= last; ++r) removed.push_back(jobs_[std::size_t(r)].inputPath);
        jobs_.erase(jobs_.begin() + first, jobs_.begin() + last + 1);
        endRemoveRows();
    }
    return removed;
}

int PlanList::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(jobs_.size()); }

QVariant PlanList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(jobs_.size())) return {};
    const batch::Job& job = jobs_[std::size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (job.kind) {
            case batch::Job::Kind::Write: return job.input;
            case batch::Job::Kind::Skip:
                return QStringLiteral("%1 — atlanacak: %2").arg(job.input, platform::TurkishReason(job.why));
            case batch::Job::Kind::Fail:
                return QStringLiteral("%1 — yapılamayacak: %2").arg(job.input, platform::TurkishReason(job.why));
        }
    }
    if (role == Qt::ForegroundRole && job.kind != batch::Job::Kind::Write)
        return QBrush(job.kind == batch::Job::Kind::Fail ? Qt::darkRed : Qt::darkGray);
    return {};
}
