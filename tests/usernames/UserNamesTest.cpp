#include "usernames/UserNames.h"

#include "FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <ostream>
#include <string>

namespace {

class UserNamesTest : public testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("data/names.sqlite")); }
    // What another program (or the next start) finds in the file.
    std::vector<SUserName> Reread() const
    {
        CUserNames names(Path());
        EXPECT_TRUE(names.Load()) << names.LastError().toStdString();
        return names.List();
    }

    QTemporaryDir m_dir;
};

TEST_F(UserNamesTest, KeepsReplacesAndRemovesNamesInTheFile)
{
    CUserNames names(Path());
    ASSERT_TRUE(names.Load());
    EXPECT_TRUE(names.List().empty());
    ASSERT_TRUE(names.Set({SStationKey::Bus(3665, 1866), QStringLiteral("三室山下"), {}, QStringLiteral("奈良交通")}));
    ASSERT_TRUE(names.Set({SStationKey::Rail(0, 3, 250), QStringLiteral(" 取引先前 "), QStringLiteral("支線"), {}}))
        << names.LastError().toStdString();
    ASSERT_TRUE(names.Set({SStationKey::Rail(0, 3, 250), QStringLiteral("取引先前駅"), {}, {}}));

    const std::vector<SUserName> kept = Reread();
    ASSERT_EQ(kept.size(), 2u);
    // Rail first; the later name of a code replaced the earlier, spaces trimmed.
    EXPECT_EQ(kept[0].key, SStationKey::Rail(0, 3, 250));
    EXPECT_EQ(kept[0].station, QStringLiteral("取引先前駅"));
    EXPECT_EQ(kept[0].line, QString());
    EXPECT_EQ(kept[1].key, SStationKey::Bus(3665, 1866));
    EXPECT_EQ(kept[1].company, QStringLiteral("奈良交通"));
    ASSERT_NE(names.Find(SStationKey::Bus(3665, 1866)), nullptr);
    EXPECT_EQ(names.Find(SStationKey::Rail(0, 3665 & 0xFF, 1866 & 0xFF)), nullptr);

    bool removed = false;
    ASSERT_TRUE(names.Remove(SStationKey::Rail(0, 3, 250), &removed));
    EXPECT_TRUE(removed);
    ASSERT_TRUE(names.Remove(SStationKey::Rail(0, 3, 250), &removed));
    EXPECT_FALSE(removed);
    EXPECT_EQ(names.Find(SStationKey::Rail(0, 3, 250)), nullptr);
    EXPECT_EQ(Reread().size(), 1u);

    // The person's file is theirs alone.
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(Path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(UserNamesTest, NoFileIsNoNamesAndARemovalMakesNone)
{
    CUserNames names(Path());
    EXPECT_TRUE(names.Load());
    bool removed = true;
    EXPECT_TRUE(names.Remove(SStationKey::Bus(1, 2), &removed));
    EXPECT_FALSE(removed);
    EXPECT_FALSE(QFile::exists(Path()));
}

struct BadName {
    const char* name;
    SUserName userName;
    const char* problem;
};

void PrintTo(const BadName& c, std::ostream* os)
{
    *os << c.name;
}

class BadNameTest : public UserNamesTest, public testing::WithParamInterface<BadName> {};

TEST_P(BadNameTest, IsRefusedAndChangesNothing)
{
    CUserNames names(Path());
    const SUserName good{SStationKey::Rail(0, 1, 1), QStringLiteral("東京"), {}, {}};
    ASSERT_TRUE(names.Set(good));
    SUserName bad = GetParam().userName;
    bad.key = good.key;
    EXPECT_EQ(CUserNames::Check(bad), QString::fromUtf8(GetParam().problem));
    EXPECT_FALSE(names.Set(bad));
    EXPECT_EQ(names.LastError(), QString::fromUtf8(GetParam().problem));
    const std::vector<SUserName> kept = Reread();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].station, QStringLiteral("東京"));
}

INSTANTIATE_TEST_SUITE_P(Names, BadNameTest, testing::Values(
    BadName{"EmptyStation", {{}, {}, QStringLiteral("中央本線"), {}}, "the station name is empty"},
    BadName{"OnlySpaces", {{}, QStringLiteral(" \u3000 "), {}, {}}, "the station name is empty"},
    BadName{"LineBreakInStation", {{}, QStringLiteral("新\n宿"), {}, {}},
            "the station name holds a control character (U+000A)"},
    BadName{"TabInLine", {{}, QStringLiteral("新宿"), QStringLiteral("中央\t線"), {}},
            "the line name holds a control character (U+0009)"},
    BadName{"EscapeInCompany", {{}, QStringLiteral("新宿"), {}, QStringLiteral("JR\x1b[31m")},
            "the company holds a control character (U+001B)"},
    BadName{"NextLineInStation", {{}, QStringLiteral("新\u0085宿"), {}, {}},
            "the station name holds a control character (U+0085)"}),
    [](const testing::TestParamInfo<BadName>& info) { return std::string(info.param.name); });

TEST_F(UserNamesTest, FullDiskKeepsTheNamesAsTheyWere)
{
    CUserNames names(Path());
    ASSERT_TRUE(names.Set({SStationKey::Rail(0, 1, 1), QStringLiteral("東京"), {}, {}}));
    const QByteArray before = [&] {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    {
        const CFileSizeLimit limit(static_cast<rlim_t>(before.size()));
        EXPECT_FALSE(names.Set({SStationKey::Rail(0, 1, 2), QString(2000, QChar(u'長')), {}, {}}));
    }
    EXPECT_TRUE(names.LastError().startsWith(Path() + QStringLiteral(": keeping the name of rail 0-1-2: ")))
        << names.LastError().toStdString();
    EXPECT_EQ(names.Find(SStationKey::Rail(0, 1, 2)), nullptr);
    ASSERT_EQ(Reread().size(), 1u);
}

TEST_F(UserNamesTest, AFileOfAnotherKindIsNamedAndGivesNoNames)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Path()).absolutePath()));
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    CUserNames names(Path());
    EXPECT_FALSE(names.Load());
    EXPECT_TRUE(names.LastError().startsWith(Path() + QStringLiteral(": reading it: "))) << names.LastError().toStdString();
    EXPECT_TRUE(names.List().empty());
    // Nor is anything written over it.
    EXPECT_FALSE(names.Set({SStationKey::Rail(0, 1, 1), QStringLiteral("東京"), {}, {}}));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(4096, 'x'));
}

TEST_F(UserNamesTest, LivesBesideTheArchive)
{
    EXPECT_EQ(CUserNames::PathBeside(QStringLiteral("/home/a/.local/share/Ombrel/Voluni_Viewer/history.sqlite")),
              QStringLiteral("/home/a/.local/share/Ombrel/Voluni_Viewer/names.sqlite"));
}

} // namespace
