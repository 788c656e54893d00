// NaturalCompare: pairs in the order they must come, whatever the process's locale.
#include "core/natural_order.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

struct Pair {
    const char* first;
    const char* second;
};

class NaturalOrderTable : public ::testing::TestWithParam<Pair> {};

TEST_P(NaturalOrderTable, PutsTheFirstBeforeTheSecond) {
    QLocale::setDefault(QLocale::c());  // the order must not come from the user's locale
    const QString a = QString::fromUtf8(GetParam().first), b = QString::fromUtf8(GetParam().second);
    EXPECT_LT(core::NaturalCompare(a, b), 0) << GetParam().first << " / " << GetParam().second;
    EXPECT_GT(core::NaturalCompare(b, a), 0) << GetParam().first << " / " << GetParam().second;
}

INSTANTIATE_TEST_SUITE_P(
    Names, NaturalOrderTable,
    ::testing::Values(Pair{"resim2.jpg", "resim10.jpg"}, Pair{"resim007.jpg", "resim10.jpg"},
                      Pair{"Cam.jpg", "Çiçek ağacı.jpg"}, Pair{"Çiçek ağacı.jpg", "Dere.jpg"},
                      Pair{"Çiçek ağacı.jpg", "yarim_kesik.jpg"}, Pair{"gece.jpg", "Ğ.jpg"},
                      Pair{"ılık.jpg", "iskele.jpg"}, Pair{"Orman.jpg", "Ördek.jpg"},
                      Pair{"Ördek.jpg", "Pazar.jpg"}, Pair{"sabah.jpg", "Şehir.jpg"},
                      Pair{"Şehir.jpg", "tepe.jpg"}, Pair{"Uçak.jpg", "Üzüm.jpg"},
                      Pair{"ada.jpg", "Bahçe.jpg"}, Pair{"foto.jpg", "foto1.jpg"},
                      Pair{"x99999999999999999999999.jpg", "x100000000000000000000000.jpg"},
                      Pair{"Resim.jpg", "resim.jpg"}));

}  // namespace
