// Every output on a disk that fills up: the CSV, the PDF report and the entry
// file each keep the file that was there, leave no temporary file and say why.
#include "ClaimFixture.h"
#include "claim/ClaimCsvWriter.h"
#include "claim/ClaimReport.h"
#include "claim/ClaimReportPainter.h"
#include "document/CorvaneDoc.h"
#include "document/ArchiveError.h"
#include "document/OutputFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/mount.h>

#include <functional>

namespace {

using Output = std::function<bool(const QString& path, QString& error)>;

struct SOutputCase {
    const char* name;
    Output write;
};

std::vector<SOutputCase> Outputs(const CEntryList& entries)
{
    const std::vector<const CEntryInfo*> rows = Rows(entries);
    return {
        {"csv",
         [rows](const QString& path, QString& error) {
             SClaimCsvOptions options;
             options.columns = {2, 5, 8, 9, 11, 12};
             return WriteClaimCsv(path, rows, options, error);
         }},
        {"pdf",
         [rows](const QString& path, QString& error) {
             const SClaimReport report = MakeClaimReport(rows, false, CClaimPeriod(), CCardRecord(), QDate(2021, 2, 1));
             return WriteClaimReportPdf(path, report, error);
         }},
        {"entry file",
         [&entries](const QString& path, QString& error) {
             CCorvaneDoc document;
             for (const auto& e : entries)
                 document.m_data.m_entries.push_back(std::make_unique<CEntryInfo>(*e));
             try {
                 document.OnSaveDocument(path);
             } catch (const CFileError& failure) {
                 error = failure.GetReason();
                 return false;
             }
             return true;
         }},
    };
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The old file stays whole and alone in its folder.
void ExpectOldFileAlone(const QString& path, const QByteArray& old, const char* name)
{
    EXPECT_EQ(Bytes(path), old) << name;
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(path).fileName()})
        << name;
}

class OutputFaultTest : public testing::Test {
protected:
    void TearDown() override { SetOutputFault(std::nullopt); }

    CEntryList m_entries = ClaimFixture();
    QTemporaryDir m_dir;
};

TEST_F(OutputFaultTest, RefusedWriteKeepsTheOldFileAndSaysWhy)
{
    for (const SOutputCase& output : Outputs(m_entries)) {
        const QString path = m_dir.filePath(QStringLiteral("out/") + QString::fromLatin1(output.name));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QString error;
        ASSERT_TRUE(output.write(path, error)) << output.name << error.toStdString();
        const QByteArray old = Bytes(path);
        ASSERT_FALSE(old.isEmpty());
        for (const qint64 taken : {qint64{0}, qint64{10}, old.size() / 2}) {
            SetOutputFault(SOutputFault{taken, QStringLiteral("No space left on device")});
            error.clear();
            EXPECT_FALSE(output.write(path, error)) << output.name << " after " << taken;
            EXPECT_TRUE(error.contains(QLatin1String("No space left on device"))) << error.toStdString();
            SetOutputFault(std::nullopt);
            ExpectOldFileAlone(path, old, output.name);
        }
        QDir(QFileInfo(path).absolutePath()).removeRecursively();
    }
}

// A real full disk: a 64 KiB tmpfs, where the system can make one.
TEST_F(OutputFaultTest, FullTmpfsKeepsTheOldFile)
{
    const QString mountPoint = m_dir.filePath(QStringLiteral("small"));
    QDir().mkpath(mountPoint);
    if (mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    // Enough rows that no output fits beside the filler.
    CEntryList many;
    for (int i = 0; i < 400; ++i) {
        for (const auto& e : m_entries)
            many.push_back(std::make_unique<CEntryInfo>(*e));
    }
    for (const SOutputCase& output : Outputs(many)) {
        const QString path = mountPoint + QStringLiteral("/out");
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old\n");
        old.close();
        QFile filler(mountPoint + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        filler.write(QByteArray(40 * 1024, 'x'));
        filler.close();
        QString error;
        EXPECT_FALSE(output.write(path, error)) << output.name;
        EXPECT_TRUE(error.contains(QLatin1String("No space left on device"))) << output.name << error.toStdString();
        QFile::remove(filler.fileName());
        ExpectOldFileAlone(path, "old\n", output.name);
        QFile::remove(path);
    }
    umount(QFile::encodeName(mountPoint).constData());
}

} // namespace
