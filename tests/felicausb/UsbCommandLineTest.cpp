// The command-line tool through the FeliCa library over an emulated RC-S380: a whole read in
// a process of its own, and the messages when no reader is there.
#include "EmulatedFelicaLibrary.h"
#include "card/AppMessage.h"
#include "cli/ExitCode.h"
#include "cli/VoluniCommand.h"
#include "readers/PcscService.h"
#include "FaultyPcscService.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

const QString kVoluni = QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni");
const QString kTwenty = QStringLiteral(VOLUNI_USB_FIXTURES "/twenty.json");

struct SRun {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

SRun RunVoluniProcess(const QStringList& args, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(kVoluni, args);
    SRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

TEST(UsbCommandLine, VoluniReadsTheCardThroughTheLibraryAsFromTheCardImage)
{
    QTemporaryDir empty;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The PC/SC client is pointed at a socket nobody serves, so that no reader of the machine
    // answers and the tool falls back to the library.
    environment.insert(QStringLiteral("PCSCLITE_CSOCK_NAME"), empty.filePath(QStringLiteral("no-pcscd.comm")));
    environment.insert(QStringLiteral("VOLUNI_COMMON_FILES_DIR"), QString::fromLatin1(VOLUNI_USB_COMMON_FILES));
    environment.insert(QStringLiteral("VOLUNI_USB_EMULATOR_CARD"), kTwenty);
    const QStringList read = {QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("0")};
    const SRun usb = RunVoluniProcess(read, environment);
    ASSERT_EQ(usb.exitCode, EXIT_OK) << usb.errors.toStdString();

    environment.insert(QStringLiteral("VOLUNI_COMMON_FILES_DIR"), empty.path());
    const SRun image = RunVoluniProcess(read + QStringList{QStringLiteral("--card-image"), kTwenty}, environment);
    ASSERT_EQ(image.exitCode, EXIT_OK) << image.errors.toStdString();

    EXPECT_EQ(usb.output, image.output);
    const QJsonObject root = QJsonDocument::fromJson(usb.output).object();
    EXPECT_EQ(root.value(QStringLiteral("card")).toObject().value(QStringLiteral("idm")).toString(),
              QStringLiteral("0114B7C3D2E1F0A9"));
    EXPECT_FALSE(root.value(QStringLiteral("entries")).toArray().isEmpty());
}

class UsbNoReaderMessageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_library.Loaded());
        m_previous = SetMessagePresenter([this](const QString& text, MessageIcon) { m_messages << text; });
    }
    void TearDown() override
    {
        SetMessagePresenter(m_previous);
        SetPcscService(nullptr);
    }

    CEmulatedFelicaLibrary m_library;
    QStringList m_messages;
    MessagePresenter m_previous;
};

TEST_F(UsbNoReaderMessageTest, ThePersonGetsTheMessageOfThePcscAnswer)
{
    struct Case {
        const char* name;
        bool serviceRunning;
        bool readerAttached;
        const char* readerName;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"ServiceStopped", false, false, "ACS ACR1251 CL Reader PICC 0", EXIT_SERVICE_STOPPED,
         "SmartCardサービスが停止しています。\n起動するには: sudo systemctl start pcscd"},
        {"NoReaderAttached", true, false, "ACS ACR1251 CL Reader PICC 0", EXIT_NO_READER,
         "カードリーダーが接続されていません。"},
        {"OnlyAnUnsupportedPcscReader", true, true, "Generic Smart Card Reader 00 00", EXIT_READER_OPEN,
         "カードリーダーのオープンに失敗しました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_messages.clear();
        auto pcsc = std::make_shared<CFaultyPcscService>(std::nullopt, c.readerName);
        pcsc->SetServiceRunning(c.serviceRunning);
        pcsc->SetReaderAttached(c.readerAttached);
        SetPcscService(pcsc);
        QByteArray output;
        EXPECT_EQ(RunVoluni({QStringLiteral("voluni"), QStringLiteral("read"), QStringLiteral("--polling-time"),
                             QStringLiteral("0")},
                            output),
                  c.exitCode);
        EXPECT_EQ(m_messages, QStringList{QString::fromUtf8(c.message)});
    }
}

} // namespace
