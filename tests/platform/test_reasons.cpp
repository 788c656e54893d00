// Every cause the engine can give has its own Turkish sentence, which names the file it is about.
#include "platform/reasons.h"

#include <gtest/gtest.h>
#include <set>

TEST(Reasons, EveryCauseHasASentenceOfItsOwn) {
    std::set<QString> sentences;
    for (const core::Cause cause : core::kAllCauses) {
        const QString text =
            platform::TurkishReason({cause, QStringLiteral("english detail"), QStringLiteral("x.jpg")});
        EXPECT_TRUE(text.endsWith(QLatin1Char('.')) && !text.contains(QLatin1String("english")))
            << core::CauseName(cause) << ": " << text.toStdString();
        EXPECT_TRUE(sentences.insert(text).second) << core::CauseName(cause) << " says what another says";
    }
}

TEST(Reasons, CausesAboutAnotherFileNameIt) {
    for (const core::Cause cause :
         {core::Cause::WouldOverwriteOriginal, core::Cause::SameResultAsAnother, core::Cause::SymbolicLink}) {
        EXPECT_TRUE(platform::TurkishReason({cause, {}, QStringLiteral("tatil.jpg")})
                        .contains(QLatin1String("'tatil.jpg'")))
            << core::CauseName(cause);
    }
}
