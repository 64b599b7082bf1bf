// 精算書の設定: the header and the stamp boxes as the dialog hands them back to the settings.
#include "claim/dialog/ReportSettingsDlg.h"
#include "settings/AppProfile.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>

namespace {

template <typename T>
T* Child(QWidget& dialog, const char* name)
{
    auto* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(ReportSettingsDlgTest, FieldsComeBackAsTypedAndGoIntoTheSettings)
{
    CAppProfile profile;
    profile.m_strReportName = QStringLiteral("山田 太郎");
    profile.m_nReportStampCount = 2;
    CReportSettingsDlg dialog(ClaimHeaderFrom(profile), QDate(2024, 6, 3));
    dialog.show();
    // No date kept: the day of printing, the date field waiting until it is wanted.
    EXPECT_TRUE(Child<QCheckBox>(dialog, "printDay")->isChecked());
    EXPECT_FALSE(Child<QDateEdit>(dialog, "date")->isEnabled());
    EXPECT_EQ(Child<QDateEdit>(dialog, "date")->date(), QDate(2024, 6, 3));
    EXPECT_EQ(Child<QLineEdit>(dialog, "stampTitle2")->text(), QStringLiteral("承認者"));
    EXPECT_FALSE(Child<QLineEdit>(dialog, "stampTitle3")->isEnabled()) << "only two boxes";
    const QString folder = QStringLiteral(VOLUNI_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(dialog.grab().save(folder + QStringLiteral("/report_settings.png")));

    Child<QLineEdit>(dialog, "department")->setText(QStringLiteral("営業部"));
    Child<QLineEdit>(dialog, "purpose")->setText(QStringLiteral("  顧客訪問\t（横浜） "));
    Child<QCheckBox>(dialog, "printDay")->setChecked(false);
    EXPECT_TRUE(Child<QDateEdit>(dialog, "date")->isEnabled());
    Child<QSpinBox>(dialog, "stampCount")->setValue(4);
    EXPECT_TRUE(Child<QLineEdit>(dialog, "stampTitle4")->isEnabled());
    Child<QLineEdit>(dialog, "stampTitle4")->setText(QStringLiteral("社長"));

    StoreClaimHeader(dialog.Header(), profile);
    EXPECT_EQ(profile.m_strReportName, QStringLiteral("山田 太郎"));
    EXPECT_EQ(profile.m_strReportDepartment, QStringLiteral("営業部"));
    EXPECT_EQ(profile.m_strReportPurpose, QStringLiteral("顧客訪問 （横浜）")) << "one line";
    EXPECT_EQ(profile.m_strReportDate, QStringLiteral("2024/06/03"));
    EXPECT_EQ(profile.m_nReportStampCount, 4);
    EXPECT_EQ(profile.m_arrReportStampTitles,
              (QStringList{QStringLiteral("申請者"), QStringLiteral("承認者"), QStringLiteral("経理"), QStringLiteral("社長")}));
    EXPECT_EQ(ClaimHeaderFrom(profile).StampTitles().size(), 4);
    EXPECT_EQ(ClaimHeaderFrom(profile).date, QDate(2024, 6, 3));
}

} // namespace
