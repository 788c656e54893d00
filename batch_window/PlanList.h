#pragma once
// The batch window's list: the pictures a plan will shrink, and those it will skip or cannot do with their
// reasons, as a model a list view shows at any length (a folder of 50,000 pictures).

#include "batch/plan.h"

#include <QAbstractListModel>
#include <QModelIndexList>
#include <vector>

class PlanList : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setJobs(std::vector<batch::Job> jobs);
    const std::vector<batch::Job>& jobs() const { return jobs_; }
    // Takes the rows out; returns the pictures they named (Job::inputPath).
    std::vector<QByteArray> remove(QModelIndexList rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<batch::Job> jobs_;
};
