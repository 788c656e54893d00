#pragma once
// The batch window's numbers in Turkish: the count line, the summary, what a picture gave up to fit the
// file size, and sizes in bytes ("312 MB", "9,4 MB").

#include "batch/plan.h"
#include "batch/run.h"

#include <QString>

namespace batchtexts {

// Decimal units, one decimal below a hundred, as Turkish writes numbers.
QString Bytes(qint64 bytes);
// "30 resim", "30 resim, 2 atlanacak, 1 yapılamayacak", "Resim yok".
QString CountLine(const batch::PlanCounts& counts);
// "40 resim: 38 yazıldı, 1 atlandı, 1 başarısız — 312 MB → 9,4 MB", with what was not done after İptal;
// pictures: the originals; earlierResults, among the skipped, are told apart: they are no pictures of
// the batch.
QString Summary(int pictures, const batch::Totals& totals, int earlierResults = 0);
// For a written picture: what it gave up, for the file size, its metadata or its animation, or that it is
// the original kept as it is; empty when nothing.
QString GivenUp(const batch::Details& details);

}  // namespace batchtexts
