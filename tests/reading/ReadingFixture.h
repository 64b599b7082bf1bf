// What the card read tests share: a simulated reader behind the PC/SC seam, no
// vendor library to fall back on, and every message recorded instead of shown.
#pragma once

#include "card/AppMessage.h"
#include "readers/sim/CardImage.h"
#include "HexBytes.h"
#include "readers/PcscService.h"
#include "FaultyPcscService.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

inline const QString kCommuteImage = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");

struct SShownMessage {
    QString text;
    MessageIcon icon;
};

inline CCardImage CommuteImage()
{
    CCardImage image;
    const QString error = image.LoadFile(kCommuteImage);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return image;
}

// A card of the commute image that answers a polling for these system codes only.
inline CCardImage CommuteImageAnswering(std::vector<uint16_t> systems)
{
    CCardImage image = CommuteImage();
    image.m_systems = std::move(systems);
    return image;
}

class ReadingFixture : public testing::Test {
protected:
    ReadingFixture()
    {
        // An empty common-files folder: the vendor library fallback finds nothing.
        qputenv("VOLUNI_COMMON_FILES_DIR", m_commonFiles.path().toLocal8Bit());
        m_previousPresenter = SetMessagePresenter(
            [this](const QString& text, MessageIcon icon) { m_messages.push_back({text, icon}); });
    }

    ~ReadingFixture() override
    {
        // An exchange a test left stalled returns, and what it held is let go.
        if (m_pService)
            m_pService->EndStall();
        EXPECT_TRUE(WaitForAbandonedCalls());
        SetPcscService(nullptr);
        SetMessagePresenter(m_previousPresenter);
    }

    CFaultyPcscService& UseCard(std::optional<CCardImage> image)
    {
        m_pService = std::make_shared<CFaultyPcscService>(std::move(image));
        SetPcscService(m_pService);
        return *m_pService;
    }

    QTemporaryDir m_commonFiles;
    MessagePresenter m_previousPresenter;
    std::vector<SShownMessage> m_messages;
    std::shared_ptr<CFaultyPcscService> m_pService;
};
